// Renders the window after a Search of the sample page, for the README:
//   window_picture SAMPLE OUTPUT.png
#include "app/frmMetatags.h"
#include "tests/window_driver.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3)
        qFatal("usage: window_picture SAMPLE.html OUTPUT.png");
    QFile sample(QString::fromLocal8Bit(argv[1]));
    if (!sample.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", argv[1]);
    WindowDriver driver;
    driver.search(driver.writePage(sample.readAll(), QStringLiteral("bakery.html")));
    return driver.window().grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
