#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// A small picture of a place on the time bar with its time under it, just above the pointer
// and kept within its parent: drawn over a film's picture (the video view draws it in) or over
// a song's view, where it shows the time alone. It never takes the pointer or the keyboard,
// and screen readers pass it by: the time slider says the same.
class TimePreview : public QWidget {
    Q_OBJECT
public:
    explicit TimePreview(QWidget *parent);

    // Shows `caption` and `picture` (null: the caption alone) with the middle of its bottom edge
    // at `anchor`, in the parent, as near to it as the parent has room for.
    void showAt(QPoint anchor, const QString &caption, const QImage &picture);
    void setPicture(const QImage &picture);

    const QString &caption() const { return caption_; }
    const QImage &picture() const { return picture_; }
    // Where the picture lies within the preview; empty without one.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();
    QSize pictureSizeShown() const;
    int captionHeight() const;

    QString caption_;
    QImage picture_;
    QPoint anchor_;
};
