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
    if (Hook()) {
        return Hook()(dialog);
    }
    return dialog.exec();
}

}  // namespace dialogs
