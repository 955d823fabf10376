// libFuzzer target, built with ASan and UBSan: any input read as talvorin.ini
// must neither crash nor hang, and a state once saved must read back as saved.

#include "settings/settingsformat.h"

#include <QRegularExpression>
#include <QStringList>

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

// The window as far as a save sees it: the state the read lines leave.
class StateTarget : public SettingsTarget {
public:
    SettingsState state;
    void setLink(Link which, const QString &value) override
    {
        QString *links[] = { &state.badgeLink, &state.linkStart, &state.linkClose };
        *links[int(which)] = value;
    }
    void toggleAlwaysOnTop() override { state.alwaysOnTop = !state.alwaysOnTop; }
    void toggleShowInTaskbar() override { state.showInTaskbar = !state.showInTaskbar; }
    void setStartWithWindowsChecked(bool checked) override { state.startWithWindows = checked; }
    void setOuterHeight(double twips) override { state.height = size(twips); }
    void setOuterWidth(double twips) override { state.width = size(twips); }
    float size(double twips)
    {
        check(twips > 100 && double(float(twips)) == twips, "a size not above 100 or not a float");
        state.hasSize = true;
        return float(twips);
    }
};

SettingsState read(const QByteArray &bytes)
{
    StateTarget target;
    applySettingsFile(bytes, target);
    return target.state;
}

QStringList links(const SettingsState &state)
{
    return { state.badgeLink, state.linkStart, state.linkClose };
}

// The format has no escaping: a link holding a link's tag is read as another.
bool holdsLinkTag(const QStringList &links)
{
    static const QRegularExpression tag(QStringLiteral("\\[(badgelink|linkstart|linkclose)\\]="));
    return links.join(u'\n').contains(tag);
}

// The lines a save writes after the links: the toggles, then any sizes.
QList<QByteArray> settingLines(const SettingsState &state)
{
    return formatSettings(state).split('\n').mid(3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy, so ASan sees a read past the last byte.
    const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsState first = read(bytes);
    StateTarget whole;
    applySettingsText(decodeSettings(bytes), whole);
    check(links(whole.state) == links(first)
                  && formatSettings(whole.state) == formatSettings(first),
          "a line at a time reads otherwise than the whole text");

    // Saved and read: the toggles as they were, the links without CR and LF.
    const SettingsState second = read(formatSettings(first));
    check(settingLines(second).mid(0, 3) == settingLines(first).mid(0, 3), "a toggle changed");
    QStringList cleaned = links(first);
    cleaned.replaceInStrings("\r", "").replaceInStrings("\n", "");
    check(holdsLinkTag(cleaned) || links(second) == cleaned, "a link changed");

    // Saved again, with the sizes now as their text: the same lines.
    check(settingLines(read(formatSettings(second))) == settingLines(second),
          "a saved state reads back otherwise");
    return 0;
}
