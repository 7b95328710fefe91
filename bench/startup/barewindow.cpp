// barewindow: the least a Qt Widgets program of this build does to show a
// window, as the floor for the start-up benchmark. An empty window of the
// main window's size (485 x 441 unless given as "WIDTHxHEIGHT").
//
//   build/bench/barewindow [WIDTHxHEIGHT]
#include <QApplication>
#include <QRegularExpression>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QSize size(485, 441);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const auto match =
            QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(arguments.at(1));
        if (!match.hasMatch())
            return 2;
        size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
    }
    QWidget window;
    window.setFixedSize(size);
    window.show();
    return application.exec();
}
