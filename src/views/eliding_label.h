#pragma once

#include <QLabel>

// A label for text it does not control (a file name): wrapped to at most `maxLines` lines and
// elided after that, at whatever width the layout gives it. Its text never widens the window.
class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(int maxLines, QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return fullText_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void relayout();

    int maxLines_;
    QString fullText_;
};
