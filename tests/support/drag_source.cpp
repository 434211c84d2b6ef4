// A file manager's part in a drag, for tests: a small window at the top left of the screen
// that starts dragging the file named on its command line when pressed. Prints "ready" once
// shown, and the action the drop target took ("copy", "ignore", ...) when the drag ends.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <cstdio>

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QUrl file) : QLabel(QStringLiteral("drag me")), file_(std::move(file)) {}

protected:
    void mousePressEvent(QMouseEvent *) override {
        auto *data = new QMimeData;
        data->setUrls({file_});
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("%s\n", action == Qt::CopyAction ? "copy" : "ignore");
        std::fflush(stdout);
    }
    void showEvent(QShowEvent *) override {
        std::printf("ready\n");
        std::fflush(stdout);
    }

private:
    QUrl file_;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    DragSource source(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    source.setWindowFlag(Qt::FramelessWindowHint);
    source.setGeometry(0, 0, 120, 80);
    source.show();
    return application.exec();
}
