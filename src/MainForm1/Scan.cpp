// The per-package scan: cut the package to its first 500 bytes in the hidden
// byte editor, write those to a scan copy, reload it and search it for the
// Impulse Tracker, Scream Tracker 3 and FastTracker 2 signatures in turn.
#include "MainForm1/MainForm1.h"

#include "platform/Application.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"
#include "platform/Fonts.h"

#include <cstring>

namespace MainForm1Unit {

std::string SearchText;
std::unique_ptr<std::uint8_t[]> SearchBytes;
std::int32_t SearchLength = 0;
std::int32_t FoundPos = -1;

std::vector<std::uint8_t> HexTextToBytes(const std::string& text)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (std::strchr(kDigits, c) && c != '\0')
            digits += c;
    }
    while (digits.size() % 2 != 0)
        digits.insert(digits.begin(), '0');
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2) {
        const auto high = static_cast<std::uint8_t>(std::strchr(kDigits, digits[i]) - kDigits);
        const auto low = static_cast<std::uint8_t>(std::strchr(kDigits, digits[i + 1]) - kDigits);
        bytes.push_back(static_cast<std::uint8_t>(16 * high + low));
    }
    return bytes;
}

}  // namespace MainForm1Unit

namespace {

constexpr std::int32_t kScanLength = 500;

struct Signature {
    const char* text;
    // Distance from the signature back to the module's first byte.
    std::int32_t startOffset;
};

// Searched in this order; the first one found decides the module kind.
const Signature kSignatures[] = {
    {"494D504D", 0},                        // IMPM: Impulse Tracker
    {"5343524D", 44},                       // SCRM: Scream Tracker 3
    {"457874656E646564204D6F64756C65", 0},  // "Extended Module": FastTracker 2
};

const QString kEngineStarted = QStringLiteral("Engine gestartet.");
const QString kNoModule = QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!");

}  // namespace

void TMainForm::CreateHexEditor()
{
    HexEditor1 = new THexEditor(this);
    HexEditor1->hide();
    HexEditor1->SetBytesPerColumn(2);
    HexEditor1->SetBytesPerLine(16);
    HexEditor1->SetTranslation(ttAnsi);
    HexEditor1->SetOffsetDisplay(odHex);
    HexEditor1->SetOffsetSeparator(':');
    HexEditor1->SetBackupExtension(".bak");
    HexEditor1->setFont(platform::CourierFont(16));
    HexEditor1->PropertiesLoaded();
}

void TMainForm::Timer1Timer()
{
    ModuleKind = 0;
    Timer1->SetEnabled(false);
    platform::Application().ProcessMessages();
    ScanCurrentPackage();
}

void TMainForm::ScanCurrentPackage()
{
    using namespace MainForm1Unit;
    THexEditor& editor = *HexEditor1;
    const std::string scanCopy = platform::ChangeFileExt(CurrentFile, ".BAK");

    editor.LoadFromFile(CurrentFile);
    PackageSize = editor.DataSize();

    editor.SetSelStart(kScanLength);
    editor.SetSelEnd(editor.DataSize() - 1);
    editor.DeleteSelection();
    // Whatever stands under the scan copy's name goes first: a scan copy left
    // from an earlier run must not be searched in place of the package when
    // this save fails, and a symbolic link planted there must be replaced, not
    // written through. (A folder of that name stays; the save then fails.)
    platform::DeleteFile(scanCopy);
    editor.SaveToFile(scanCopy);
    editor.ResetLineLengths();
    platform::Application().ProcessMessages();
    editor.LoadFromFile(scanCopy);
    SetStatusText(kEngineStarted);

    // An empty scan copy would stop the run without a word; say where it
    // stopped instead.
    if (editor.DataSize() <= 0)
        throw platform::EFOpenError(scanCopy);

    bool found = false;
    for (std::uint8_t kind = 0; kind < 3 && !found; ++kind) {
        const Signature& signature = kSignatures[kind];
        FoundPos = -1;
        SearchBytes.reset();
        SearchText = signature.text;
        const std::vector<std::uint8_t> bytes = HexTextToBytes(SearchText);
        SearchBytes.reset(new std::uint8_t[bytes.size()]);
        SearchLength = static_cast<std::int32_t>(bytes.size());
        std::memcpy(SearchBytes.get(), bytes.data(), bytes.size());
        platform::Application().ProcessMessages();

        FoundPos = editor.Find(SearchBytes.get(), SearchLength, editor.CaretPosition(), editor.DataSize() - 1,
                               false, false);
        if (FoundPos < 0) {
            if (kind < 2)
                ModuleKind = static_cast<std::uint8_t>(kind + 1);
            continue;
        }
        edtStart->setText(QString::number(FoundPos - signature.startOffset));
        editor.SetSelStart(FoundPos + SearchLength - 1 - signature.startOffset);
        editor.SetSelEnd(FoundPos);
        found = true;
    }

    if (found) {
        edtEnd->setText(QString::number(PackageSize));
        Rip->Click();
        return;
    }
    AdvanceQueue();
    SetStatusText(kNoModule);
}
