#include "dialogs/ModalHook.h"

#include <utility>

namespace dialogs {

namespace {
ModalHook& Hook() {
    static ModalHook hook;
    return hook;
}
}  // namespace

ModalHook SetModalHook(ModalHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

int ExecModal(QDialog& dialog) {
    // A dialog is transient for the window that opened it and centred on it.
    // One opened by a window that is never shown (the dispatch window)
    // belongs to the program as a whole: no owner, centred on the screen.
    if (const QWidget* owner = dialog.parentWidget(); owner != nullptr && !owner->isVisible()) {
        dialog.setParent(nullptr, dialog.windowFlags());
    }
    if (Hook()) {
        return Hook()(dialog);
    }
    return dialog.exec();
}

}  // namespace dialogs
