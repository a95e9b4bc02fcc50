// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/ValuePanel.h"

#include "KlangheberHex/HexInput.h"
#include "KlangheberHex/Replace.h"
#include "hexeditor/hexeditor.h"
#include "platform/system/CodePages.h"
#include "platform/widgets/Application.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <array>

namespace hexwindow {

namespace {

constexpr int kMaxWidth = 8;

// The rows of integers: the label and the signed and unsigned kinds. The
// labels' Alt keys are letters that no menu of the window takes.
struct IntegerRow {
    const char* label;
    ValueKind signedKind;
    ValueKind unsignedKind;
};
constexpr std::array<IntegerRow, 4> kIntegerRows{{
    {"B&yte (8 Bit)", ValueKind::Int8, ValueKind::UInt8},
    {"&Wort (16 Bit)", ValueKind::Int16, ValueKind::UInt16},
    {"Do&ppelwort (32 Bit)", ValueKind::Int32, ValueKind::UInt32},
    {"&Quadwort (64 Bit)", ValueKind::Int64, ValueKind::UInt64},
}};

struct SingleRow {
    const char* label;
    ValueKind kind;
};
constexpr std::array<SingleRow, 4> kSingleRows{{
    {"&Float (32 Bit)", ValueKind::Float32},
    {"D&ouble (64 Bit)", ValueKind::Float64},
    {"Bi&när (Byte)", ValueKind::Binary},
    {"Ok&tal (Byte)", ValueKind::Octal},
}};

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

ValuePanel::ValuePanel(THexEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor)
{
    setObjectName(QStringLiteral("ValuePanel"));
    AddRows();
}

QLineEdit* ValuePanel::AddField(const QString& name)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setMinimumWidth(120);
    connect(edit, &QLineEdit::returnPressed, this, [this, edit] {
        std::optional<ValueKind> kind;
        for (const Field& field : fields_)
            if (field.edit == edit)
                kind = field.kind;
        platform::Guard([&] { Write(edit, kind); });
    });
    return edit;
}

void ValuePanel::AddRows()
{
    auto* grid = new QGridLayout(this);
    offsetLabel_ = new QLabel(this);
    grid->addWidget(offsetLabel_, 0, 0, 1, 2);
    littleEndian_ = new QRadioButton(QStringLiteral("Little-&Endian"), this);
    bigEndian_ = new QRadioButton(QStringLiteral("Big-End&ian"), this);
    littleEndian_->setChecked(true);
    auto* order = new QButtonGroup(this);
    order->addButton(littleEndian_);
    order->addButton(bigEndian_);
    grid->addWidget(littleEndian_, 0, 2);
    grid->addWidget(bigEndian_, 0, 4, 1, 2);
    connect(bigEndian_, &QRadioButton::toggled, this, &ValuePanel::Refresh);
    // Only the user's switch is reported (SetBigEndian is not).
    connect(order, &QButtonGroup::buttonClicked, this, &ValuePanel::ByteOrderChanged);

    grid->addWidget(new QLabel(QStringLiteral("mit Vorzeichen"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("ohne Vorzeichen"), this), 1, 2);
    int row = 2;
    for (const IntegerRow& r : kIntegerRows) {
        QLineEdit* signedEdit = AddField(QStringLiteral("value%1").arg(static_cast<int>(r.signedKind)));
        QLineEdit* unsignedEdit = AddField(QStringLiteral("value%1").arg(static_cast<int>(r.unsignedKind)));
        fields_.push_back({r.signedKind, signedEdit});
        fields_.push_back({r.unsignedKind, unsignedEdit});
        grid->addWidget(BuddyLabel(QString::fromUtf8(r.label), signedEdit, this), row, 0);
        grid->addWidget(signedEdit, row, 1);
        grid->addWidget(unsignedEdit, row, 2);
        ++row;
    }
    row = 2;
    for (const SingleRow& r : kSingleRows) {
        QLineEdit* edit = AddField(QStringLiteral("value%1").arg(static_cast<int>(r.kind)));
        fields_.push_back({r.kind, edit});
        grid->addWidget(BuddyLabel(QString::fromUtf8(r.label), edit, this), row, 4);
        grid->addWidget(edit, row, 5);
        ++row;
    }
    charEdit_ = AddField(QStringLiteral("valueCharacter"));
    grid->addWidget(BuddyLabel(QStringLiteral("&Zeichen"), charEdit_, this), 1, 4);
    grid->addWidget(charEdit_, 1, 5);
    messageLabel_ = new QLabel(this);
    messageLabel_->setObjectName(QStringLiteral("valueMessage"));
    grid->addWidget(messageLabel_, row, 0, 1, 6);
    grid->setColumnMinimumWidth(3, 12);
    grid->setRowStretch(row + 1, 1);
}

bool ValuePanel::BigEndian() const
{
    return bigEndian_->isChecked();
}

void ValuePanel::SetBigEndian(bool on)
{
    (on ? bigEndian_ : littleEndian_)->setChecked(true);
}

void ValuePanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
}

void ValuePanel::Refresh()
{
    if (!isVisible())
        return;
    const std::int32_t caret = editor_.CaretPosition();
    const std::int32_t available = std::clamp(editor_.DataSize() - caret, 0, kMaxWidth);
    std::array<std::uint8_t, kMaxWidth> bytes{};
    editor_.ReadBuffer(bytes.data(), caret, available);
    const std::span<const std::uint8_t> present(bytes.data(), static_cast<std::size_t>(available));
    const bool readOnly = editor_.ReadOnlyView() || available == 0;
    const auto show = [readOnly](QLineEdit* edit, const QString& text) {
        edit->setReadOnly(readOnly);
        // What is being typed stays; a field just entered stays selected,
        // so that typing replaces its value.
        if ((edit->hasFocus() && edit->isModified()) || edit->text() == text)
            return;
        edit->setText(text);
        if (edit->hasFocus())
            edit->selectAll();
    };
    offsetLabel_->setText(QStringLiteral("Ab Offset 0x%1:").arg(QString::number(caret, 16).toUpper()));
    for (const Field& field : fields_) {
        const std::optional<std::string> text = DecodeValue(field.kind, present, BigEndian());
        show(field.edit, text ? QString::fromStdString(*text) : QStringLiteral("–"));
    }
    const QString character =
        available > 0 ? QString(QChar(static_cast<char16_t>(platform::AnsiToUnicode(editor_.TranslateToChar(bytes[0])))))
                      : QStringLiteral("–");
    show(charEdit_, character);
}

std::optional<std::vector<std::uint8_t>> ValuePanel::CharacterByte(const QString& text) const
{
    const Bytes ansi = TextToAnsi(text);
    if (ansi.size() != 1)
        return std::nullopt;
    if (editor_.Translation() == ttAnsi)
        return ansi;
    const std::uint8_t b = editor_.TranslateToByte(ansi[0]);
    if (b == 0 && ansi[0] != 0)
        return std::nullopt;  // the translation has no byte for it
    return std::vector<std::uint8_t>{b};
}

void ValuePanel::Write(QLineEdit* edit, std::optional<ValueKind> kind)
{
    messageLabel_->clear();
    if (editor_.ReadOnlyView()) {
        messageLabel_->setText(QStringLiteral("Die Ansicht ist schreibgeschützt."));
        return;
    }
    const std::optional<std::vector<std::uint8_t>> bytes =
        kind ? EncodeValue(*kind, edit->text().toStdString(), BigEndian()) : CharacterByte(edit->text());
    if (!bytes) {
        messageLabel_->setText(QStringLiteral("„%1“ ist hier kein gültiger Wert.").arg(edit->text()));
        return;
    }
    const std::int32_t caret = editor_.CaretPosition();
    const auto width = static_cast<std::int32_t>(bytes->size());
    if (static_cast<std::int64_t>(caret) + width > editor_.DataSize()) {
        messageLabel_->setText(QStringLiteral("Hinter dem Ende der Daten wird nichts geschrieben (%1 Bytes ab "
                                              "dem Cursor nötig).")
                                   .arg(width));
        return;
    }
    WriteBytes(*bytes);
    edit->setModified(false);
    emit ValueWritten();
    editor_.setFocus();
}

void ValuePanel::WriteBytes(const std::vector<std::uint8_t>& bytes)
{
    // The bytes are selected and replaced: one undo step, the length kept.
    const std::int32_t caret = editor_.CaretPosition();
    const auto width = static_cast<std::int32_t>(bytes.size());
    SelectBytes(editor_, caret, width);
    editor_.ReplaceSelection(bytes.data(), width);
    editor_.SetSelStart(caret);
}

}  // namespace hexwindow
