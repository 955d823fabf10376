// libFuzzer target, built with ASan and UBSan: any input read as talvorin.ini
// must neither crash nor hang, and a state once saved must read back as saved.

#include "settings/settingsformat.h"

#include <QList>

#include <cstdint>
#include <cstdio>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        __builtin_trap();
    }
}

SettingsState read(const QByteArray &bytes)
{
    SettingsStateTarget target;
    applySettingsFile(bytes, target);
    return target.state;
}

QList<QByteArray> lines(const SettingsState &state)
{
    return formatSettings(state).split('\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy, so ASan sees a read past the last byte.
    const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsState first = read(bytes);
    SettingsStateTarget whole;
    applySettingsText(decodeSettings(bytes), whole);
    check(lines(whole.state) == lines(first),
          "a line at a time reads otherwise than the whole text");

    // Saved and read: the links without CR and LF, the toggles as they were.
    // The format has no escaping, so a link that holds a link's tag is read as
    // another: then only the lines after the links are compared.
    const QByteArray saved = formatSettings(first);
    const qsizetype tags =
            saved.count("[badgelink]=") + saved.count("[linkstart]=") + saved.count("[linkclose]=");
    const int from = tags > 3 ? 3 : 0;
    const SettingsState second = read(saved);
    check(lines(second).mid(from, 6 - from) == lines(first).mid(from, 6 - from),
          "a setting changed");
    // Saved again, with the sizes now as their text: read back the same.
    check(lines(read(formatSettings(second))).mid(from) == lines(second).mid(from),
          "a saved state reads back otherwise");
    return 0;
}
