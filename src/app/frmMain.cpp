#include "app/frmMain.h"

namespace veltrane {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("MP3 TAG Veltrane"));
}

}  // namespace veltrane
