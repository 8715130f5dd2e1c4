#include <QApplication>

#include "app/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    veltrane::SetUpApplication();
    veltrane::frmMain window(veltrane::DefaultViewerHost());
    window.show();
    return QApplication::exec();
}
