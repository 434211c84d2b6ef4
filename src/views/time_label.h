#pragma once

#include <QLabel>

// A time text whose digits each take the width of the widest digit, so the text keeps its
// place as the seconds change, whatever the font's own digit widths. At least `minimumWidth`
// wide; wider when the text needs it (a duration of thousands of minutes), never clipped.
class TimeLabel : public QLabel {
    Q_OBJECT
public:
    TimeLabel(int minimumWidth, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The width `text` takes when drawn this way.
    int textWidth(const QString &text) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int digitWidth() const;

    int minimumWidth_;
};
