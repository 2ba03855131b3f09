// The manager's readings and writings of numbers, and its registry path
// splitter, with any text. Besides the sanitizers' checks, each keeps the
// promises its callers rely on.
#include "shell/ui.h"
#include "support/number_text.h"
#include "support/registry.h"
#include "vault_ops/create_vault_dialog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using tessaly::Text;

// A message box answered at once, its text kept for the checks.
class SilentUi final : public tessaly::Ui {
public:
    tessaly::MessageAnswer ShowMessageBox(const Text& text, const Text&, tessaly::MessageButtons) override
    {
        lastMessage = text;
        return tessaly::MessageAnswer::Ok;
    }
    void ShowModal(tessaly::Form&) override {}
    void Unload(tessaly::Form&) override {}
    void ShowForm(tessaly::Form&, bool) override {}
    void PumpEvents() override {}
    void SetPointer(tessaly::Pointer) override {}
    int PopUpMenu(const std::vector<tessaly::MenuLine>&) override { return 0; }
    void EndProcess() override {}

    Text lastMessage;
};

[[noreturn]] void Violated(const char* what)
{
    std::fprintf(stderr, "fuzz invariant violated: %s\n", what);
    std::abort();
}

bool EndsWith(const Text& text, char16_t unit)
{
    return !text.empty() && text.back() == unit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input as UTF-16 text, two bytes a unit.
    Text text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);

    const double value = tessaly::ValueOf(text);
    if (!std::isfinite(value) && !std::isinf(value)) {
        Violated("a text read as not a number");
    }
    const Text cut = tessaly::CutToOneDecimal(text);
    if (text.compare(0, cut.size(), cut) != 0) {
        Violated("cutting to one decimal did not keep a beginning of the text");
    }
    // Within the range written without an exponent, which is every size
    // and amount of space a person types or sees, a shown number reads back.
    const double magnitude = std::fabs(value);
    if (value == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15)) {
        const Text shown = tessaly::NumberText(value);
        const double back = tessaly::ValueOf(shown);
        if (std::fabs(back - value) > magnitude * 1e-14) {
            Violated("a number's text does not read back as the number");
        }
    }
    if (std::isfinite(value)) {
        tessaly::RoundHalfEven(value);
        tessaly::CreationEstimate(value);
        const Text capacity = tessaly::CapacityText(value);
        if (!EndsWith(capacity, u'M') && !EndsWith(capacity, u'G')) {
            Violated("a capacity text ends neither in M nor in G");
        }
    }

    SilentUi ui;
    tessaly::Registry registry(ui);
    Text path = text;
    HKEY hive = nullptr;
    if (registry.SplitKeyPath(path, hive)) {
        if (!ui.lastMessage.empty()) {
            Violated("an accepted path was also refused");
        }
        const std::size_t backslash = text.find(u'\\');
        const Text expected = backslash == Text::npos ? Text() : text.substr(backslash + 1);
        if (path != expected) {
            Violated("the sub-key is not what follows the hive");
        }
    } else if (ui.lastMessage.rfind(u"Incorrect Format:", 0) != 0) {
        Violated("a refused path gave no format message");
    }
    return 0;
}
