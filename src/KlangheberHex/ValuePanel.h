// SPDX-License-Identifier: GPL-3.0-or-later
// The values at the caret: the bytes from the caret on as signed and
// unsigned 8-, 16-, 32- and 64-bit integers, 32- and 64-bit floating point
// numbers, the caret's byte in binary and octal and as a character of the
// editor's translation, little- or big-endian. A value typed into a field
// and confirmed with Return replaces the bytes it covers at the caret as one
// undo step; nothing is written past the end of the data or in a read-only
// view.
#pragma once

#include "KlangheberHex/ValueFormats.h"

#include <QWidget>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QRadioButton;
class THexEditor;

namespace hexwindow {

class ValuePanel : public QWidget {
    Q_OBJECT
public:
    explicit ValuePanel(THexEditor& editor, QWidget* parent = nullptr);

    // Shows the values of the bytes now at the caret (a field being typed
    // into keeps its text).
    void Refresh();
    bool BigEndian() const;
    void SetBigEndian(bool on);

signals:
    // The user switched the byte order.
    void ByteOrderChanged();
    // A typed value was written into the document.
    void ValueWritten();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Field {
        ValueKind kind;
        QLineEdit* edit;
    };
    QLineEdit* AddField(const QString& name);
    void AddRows();
    // Writes the field's value at the caret, or says why not.
    void Write(QLineEdit* edit, std::optional<ValueKind> kind);
    // The character field's text as the byte it stores; nothing for none.
    std::optional<std::vector<std::uint8_t>> CharacterByte(const QString& text) const;
    void WriteBytes(const std::vector<std::uint8_t>& bytes);

    THexEditor& editor_;
    std::vector<Field> fields_;
    QLineEdit* charEdit_ = nullptr;
    QRadioButton* littleEndian_ = nullptr;
    QRadioButton* bigEndian_ = nullptr;
    QLabel* offsetLabel_ = nullptr;
    QLabel* messageLabel_ = nullptr;
};

}  // namespace hexwindow
