#include <QApplication>

#include "app/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    veltrane::frmMain window;
    window.show();
    return QApplication::exec();
}
