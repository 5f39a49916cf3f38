#include "app/frmMetatags.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    frmMetatags window;
    window.show();
    return app.exec();
}
