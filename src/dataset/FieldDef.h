#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <stdexcept>

#include "dataset/dataset_export.h"

namespace dataset {

// Every failure of the data layer: a bad filter, a missing field, an unreadable file.
// The message is UTF-8 and already worded for the operator (Portuguese).
class DATASET_EXPORT DataSetError : public std::runtime_error {
public:
    explicit DataSetError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

enum class FieldType {
    String,      // text, ANSI in files
    WideString,  // text, UTF-16 in files
    Memo,        // long text (BLOB subtype Text)
    Integer,     // 32-bit signed
    SmallInt,    // 16-bit signed
    LargeInt,    // 64-bit signed
    Word,        // unsigned
    Float,       // double
    Bcd,         // fixed point, held as double
    Boolean,
    Date,
    Time,
    DateTime,
    Blob,  // bytes
};

class Field;

// Display-text handler: gets the field, fills `text`; `displayText` tells display from editing.
using GetTextHandler = std::function<void(const Field& sender, QString& text, bool displayText)>;

struct DATASET_EXPORT FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;  // characters for text types; 0 = unlimited
    // Constraints carried by a packet.
    bool required = false;
    bool readOnly = false;
    // Client-side presentation.
    bool visible = true;
    QString displayLabel;   // empty: the field's name
    int displayWidth = 0;   // characters; 0: size
    QVariant defaultValue;  // assigned to new records by Insert/Append
    QString editMask;
    GetTextHandler onGetText;

    QString label() const { return displayLabel.isEmpty() ? name : displayLabel; }
    bool isText() const {
        return type == FieldType::String || type == FieldType::WideString ||
               type == FieldType::Memo;
    }
    static FieldDef text(const QString& name, int size);
};

using FieldDefs = QList<FieldDef>;

}  // namespace dataset
