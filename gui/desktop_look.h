// The desktop program's look: the Windows style and a grey palette on every widget.
#pragma once

class QApplication;

namespace qor::gui {

void applyDesktopLook(QApplication& app);

}  // namespace qor::gui
