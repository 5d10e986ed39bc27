// The start-up benchmark's peer: a bare Qt widget program that shows one picture (the installer's
// 492 x 361 background, decoded by Qt's own JPEG reader) and writes "first-frame" to standard output
// once that frame is painted, measured exactly as the installer measures its own; then it quits.
#include "framework/firstframe.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: bare_picture PICTURE.jpg [QUIT_AFTER_MS]\n", stderr);
        return 2;
    }
    QLabel label;
    label.setPixmap(QPixmap::fromImage(QImageReader(QString::fromLocal8Bit(argv[1])).read()));
    label.setFixedSize(492, 361);
    forms::AfterFirstFrame(&label, [] {
        std::fputs("first-frame\n", stdout);
        std::fflush(stdout);
    });
    QTimer::singleShot(argc > 2 ? std::atoi(argv[2]) : 0, &app, &QApplication::quit);
    label.show();
    return app.exec();
}
