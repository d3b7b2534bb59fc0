#include "platform/controls/ControlTexts.h"

namespace erpctl {

namespace {

TextSource& installedSource() {
    static TextSource source;
    return source;
}

} // namespace

void setTextSource(TextSource source) {
    installedSource() = std::move(source);
}

QString controlText(int id, const QString& italian) {
    const TextSource& source = installedSource();
    return source ? source(id, italian) : italian;
}

} // namespace erpctl
