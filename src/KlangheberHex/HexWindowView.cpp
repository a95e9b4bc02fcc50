// SPDX-License-Identifier: GPL-3.0-or-later
// The Ansicht menu (translation, bytes per line, offsets, bytes per column),
// the colours from the desktop palette, and the settings the window keeps
// between runs: window geometry, the view and the recent files.
#include "KlangheberHex/EditorColors.h"
#include "KlangheberHex/FileNames.h"
#include "KlangheberHex/HexWindow.h"
#include "KlangheberHex/ValuePanel.h"
#include "hexeditor/hexeditor.h"
#include "platform/widgets/Application.h"

#include <QActionGroup>
#include <QDockWidget>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <array>
#include <optional>

namespace hexwindow {

namespace {

struct Choice {
    const char* text;
    int value;
};

constexpr std::array<Choice, 5> kTranslations{{
    {"&ANSI (Windows-1252)", ttAnsi},
    {"&OEM (DOS, Codepage 850)", ttDos8},
    {"A&SCII (7 Bit)", ttASCII},
    {"&Mac (Mac Roman)", ttMac},
    {"&EBCDIC", ttEBCDIC},
}};
constexpr std::array<const char*, 5> kTranslationNames{"ANSI", "OEM", "ASCII", "Mac", "EBCDIC"};
constexpr std::array<Choice, 3> kBytesPerLine{{{"&8", 8}, {"&16", 16}, {"&32", 32}}};
constexpr std::array<Choice, 4> kOffsetStyles{{
    {"&Hexadezimal", odHex},
    {"&Dezimal", odDec},
    {"&Oktal", odOctal},
    {"&Keine", odNone},
}};
constexpr std::array<Choice, 4> kBytesPerColumn{{{"&1", 1}, {"&2", 2}, {"&4", 4}, {"&8", 8}}};
// The "other" entry of the bytes-per-line menu.
constexpr int kOtherBytesPerLine = 0;
constexpr int kMaxBytesPerLine = 256;

const QString kTranslationKey = QStringLiteral("view/translation");
const QString kBytesPerLineKey = QStringLiteral("view/bytesPerLine");
const QString kOffsetDisplayKey = QStringLiteral("view/offsetDisplay");
const QString kBytesPerColumnKey = QStringLiteral("view/bytesPerColumn");
const QString kRecentFilesKey = QStringLiteral("recentFiles");
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kValuePanelKey = QStringLiteral("view/valuePanel");
const QString kBigEndianKey = QStringLiteral("view/bigEndian");

template <std::size_t N>
QActionGroup* AddChoices(QMenu* menu, const std::array<Choice, N>& choices, QObject* owner)
{
    auto* group = new QActionGroup(owner);
    for (const Choice& choice : choices) {
        QAction* action = menu->addAction(QString::fromUtf8(choice.text));
        action->setCheckable(true);
        action->setData(choice.value);
        group->addAction(action);
    }
    return group;
}

// Checks the entry of the value; none when the value has no entry.
void CheckValue(QActionGroup* group, int value)
{
    for (QAction* action : group->actions())
        action->setChecked(action->data().toInt() == value);
}

// A stored number, or nothing when it is missing or outside first..last
// (the file may have been edited by hand).
std::optional<int> StoredInt(const QSettings& settings, const QString& key, int first, int last)
{
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    if (!ok || value < first || value > last)
        return std::nullopt;
    return value;
}

}  // namespace

QString TranslationName(int translation)
{
    if (translation < 0 || translation >= static_cast<int>(kTranslationNames.size()))
        return QStringLiteral("?");
    return QString::fromLatin1(kTranslationNames[static_cast<std::size_t>(translation)]);
}

void HexWindow::CreateViewMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    menu->addAction(valueDock_->toggleViewAction());
    menu->addSeparator();

    translationGroup_ = AddChoices(menu->addMenu(QStringLiteral("&Zeichensatz")), kTranslations, this);
    connect(translationGroup_, &QActionGroup::triggered, this, [this](QAction* action) {
        platform::Guard([&] { editor_->SetTranslation(static_cast<TTranslationType>(action->data().toInt())); });
        SaveViewSettings();
    });

    QMenu* lineMenu = menu->addMenu(QStringLiteral("&Bytes pro Zeile"));
    bytesPerLineGroup_ = AddChoices(lineMenu, kBytesPerLine, this);
    QAction* other = lineMenu->addAction(QStringLiteral("&Andere…"));
    other->setCheckable(true);
    other->setData(kOtherBytesPerLine);
    bytesPerLineGroup_->addAction(other);
    connect(bytesPerLineGroup_, &QActionGroup::triggered, this, [this](QAction* action) {
        platform::Guard([&] {
            const int value = action->data().toInt();
            if (value == kOtherBytesPerLine)
                ChooseOtherBytesPerLine();
            else
                editor_->SetBytesPerLine(value);
        });
        SaveViewSettings();
    });

    offsetGroup_ = AddChoices(menu->addMenu(QStringLiteral("&Offsets")), kOffsetStyles, this);
    connect(offsetGroup_, &QActionGroup::triggered, this, [this](QAction* action) {
        platform::Guard([&] { editor_->SetOffsetDisplay(static_cast<TOffsetDisplayStyle>(action->data().toInt())); });
        SaveViewSettings();
    });

    bytesPerColumnGroup_ = AddChoices(menu->addMenu(QStringLiteral("Bytes pro &Spalte")), kBytesPerColumn, this);
    connect(bytesPerColumnGroup_, &QActionGroup::triggered, this, [this](QAction* action) {
        platform::Guard([&] { editor_->SetBytesPerColumn(action->data().toInt()); });
        SaveViewSettings();
    });
}

void HexWindow::ChooseOtherBytesPerLine()
{
    bool ok = false;
    const int value = QInputDialog::getInt(this, QStringLiteral("Bytes pro Zeile"),
                                           QStringLiteral("Bytes pro Zeile (1 bis %1):").arg(kMaxBytesPerLine),
                                           editor_->BytesPerLine(), 1, kMaxBytesPerLine, 1, &ok);
    if (ok)
        editor_->SetBytesPerLine(value);
}

void HexWindow::SyncViewActions()
{
    CheckValue(translationGroup_, editor_->Translation());
    CheckValue(offsetGroup_, editor_->OffsetDisplay());
    CheckValue(bytesPerColumnGroup_, editor_->BytesPerColumn());
    const int perLine = editor_->BytesPerLine();
    bool listed = false;
    for (const Choice& choice : kBytesPerLine)
        listed = listed || choice.value == perLine;
    CheckValue(bytesPerLineGroup_, listed ? perLine : kOtherBytesPerLine);
    for (QAction* action : bytesPerLineGroup_->actions())
        if (action->data().toInt() == kOtherBytesPerLine)
            action->setText(listed ? QStringLiteral("&Andere…") : QStringLiteral("&Andere (%1)…").arg(perLine));
}

void HexWindow::ApplyPalette()
{
    ApplyColors(*editor_, ColorsFor(palette()));
}

void HexWindow::LoadSettings()
{
    const QSettings settings(kSettingsOrganization, kSettingsApplication);
    if (const std::optional<int> value = StoredInt(settings, kTranslationKey, ttAnsi, ttEBCDIC))
        editor_->SetTranslation(static_cast<TTranslationType>(*value));
    if (const std::optional<int> value = StoredInt(settings, kBytesPerLineKey, 1, kMaxBytesPerLine))
        editor_->SetBytesPerLine(*value);
    if (const std::optional<int> value = StoredInt(settings, kOffsetDisplayKey, odHex, odNone))
        editor_->SetOffsetDisplay(static_cast<TOffsetDisplayStyle>(*value));
    if (const std::optional<int> value = StoredInt(settings, kBytesPerColumnKey, 1, kMaxBytesPerLine))
        editor_->SetBytesPerColumn(*value);
    valuePanel_->SetBigEndian(settings.value(kBigEndianKey).toBool());
    valueDock_->setVisible(settings.value(kValuePanelKey).toBool());
    recent_ = RecentFiles(PathsFromStored(settings.value(kRecentFilesKey)));
    RebuildRecentMenu();
    if (!restoreGeometry(settings.value(kGeometryKey).toByteArray()))
        resize(820, 640);
    SyncViewActions();
}

void HexWindow::SaveViewSettings()
{
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    settings.setValue(kTranslationKey, static_cast<int>(editor_->Translation()));
    settings.setValue(kBytesPerLineKey, editor_->BytesPerLine());
    settings.setValue(kOffsetDisplayKey, static_cast<int>(editor_->OffsetDisplay()));
    settings.setValue(kBytesPerColumnKey, editor_->BytesPerColumn());
    settings.setValue(kValuePanelKey, !valueDock_->isHidden());
    settings.setValue(kBigEndianKey, valuePanel_->BigEndian());
    SyncViewActions();
    UpdateState();
}

void HexWindow::SaveRecentFiles()
{
    QSettings(kSettingsOrganization, kSettingsApplication).setValue(kRecentFilesKey, StoredPaths(recent_.Files()));
    RebuildRecentMenu();
}

}  // namespace hexwindow
