#include <QApplication>

#include "app/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veltrane"));
    QApplication::setApplicationDisplayName(QStringLiteral("MP3 TAG Veltrane"));
    veltrane::frmMain window(veltrane::DefaultViewerHost());
    window.show();
    return QApplication::exec();
}
