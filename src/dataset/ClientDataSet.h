#pragma once

#include <QObject>

#include <memory>

#include "dataset/DataPacket.h"

namespace dataset {

class ClientDataSet;
struct ClientDataSetPrivate;

// A handle to one field of a dataset's current record (as the toolkit's TField).
// Cheap to copy; valid while the dataset keeps its field layout.
class DATASET_EXPORT Field {
public:
    Field(ClientDataSet* ds, int index) : ds_(ds), index_(index) {}
    bool isValid() const { return ds_ != nullptr && index_ >= 0; }
    ClientDataSet* dataSet() const { return ds_; }
    int index() const { return index_; }
    const FieldDef& def() const;
    QString fieldName() const;

    bool isNull() const;
    QVariant value() const;
    QString asString() const;  // NULL reads as empty
    qint64 asInteger() const;  // NULL reads as 0; text is parsed, float rounded
    QDateTime asDateTime() const;
    // The text a grid shows: through the field's display handler when it has one.
    QString displayText() const;

    // Writing needs the dataset in Edit or Insert state; text is cut to the field's size.
    void setValue(const QVariant& v);
    void setAsString(const QString& v);
    void setAsInteger(qint64 v);
    void setAsDateTime(const QDateTime& v);
    void clear();

private:
    ClientDataSet* ds_;
    int index_;
};

// The in-memory table the screen works on: field definitions, a current record,
// Edit/Insert/Post, a text filter with its switch, an index by field names, bookmarks.
// Qt objectName is the component's name (cdsPresenca).
class DATASET_EXPORT ClientDataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class FileFormat { Binary, Xml, XmlUtf8 };
    using Bookmark = qint64;  // a row's identity; survives filter and index changes

    explicit ClientDataSet(QObject* parent = nullptr);
    ~ClientDataSet() override;

    // --- definitions
    // Declared definitions (the component's own). A dataset without any takes the packet's.
    void setFieldDefs(const FieldDefs& defs);
    const FieldDefs& declaredFieldDefs() const;
    // The live fields (declared ones, or those of the loaded packet or file).
    int fieldCount() const;
    const FieldDef& fieldDef(int i) const;
    FieldDef& fieldDefRef(int i);               // to set display label, handler... on a live field
    int fieldIndex(const QString& name) const;  // case-insensitive; -1 when absent
    Field field(int i);
    Field fieldByName(const QString& name);  // throws DataSetError naming the field
    Field findField(const QString& name);    // index -1 when absent (test with isValid)

    // --- lifecycle
    bool active() const;
    State state() const;
    void open();           // opens with the loaded data, or empty from the definitions
    void close();          // keeps definitions, drops rows
    void createDataSet();  // empty, open, from the declared definitions
    void emptyDataSet();   // removes every row; stays open

    // --- whole-packet transfer
    // Loads a packet whole, replacing every row; fields matched by name. Opens the dataset.
    void setData(const DataPacket& packet);
    void setData(const QVariant& packet);  // throws DataSetError if no packet
    DataPacket data() const;               // every row (filter ignored), in the current order
    QVariant dataVariant() const { return toVariant(data()); }

    // --- files (binary or XML data packet, detected by content)
    void loadFromFile(const QString& path);
    void saveToFile(const QString& path, FileFormat format = FileFormat::Binary) const;

    // --- navigation over the rows the filter lets through, in index order
    int recordCount() const;
    bool isEmpty() const;
    bool eof() const;
    bool bof() const;
    int recNo() const;  // 1-based; 0 when there is no current record
    void first();
    void next();
    void last();
    void moveTo(int recNo);  // 1-based

    // --- editing of the current record
    void edit();
    void insert();  // a new record at the current position
    void append();  // a new record at the end
    void post();
    void cancel();

    // --- controls: while disabled the views hear nothing; enabling again sends one summary
    // (layoutReset when rows, order or filter changed, else valuesChanged). Calls nest.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const;

    // --- filter: switch off, set the text, switch on
    QString filter() const;
    void setFilter(const QString& text);  // compiled here; throws DataSetError on a bad text
    bool filtered() const;
    void setFiltered(bool on);

    // --- index: ascending, stable; text in the order a Brazilian operator expects
    QString indexFieldNames() const;
    void setIndexFieldNames(const QString& names);  // ";"-separated; empty: natural order

    // --- bookmarks
    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark b) const;
    void gotoBookmark(Bookmark b);  // throws DataSetError when the row is gone or filtered out

    // --- over every live row, whatever the filter, without a copy of any text
    // The first row in the current order whose field holds exactly `text`; -1 when none.
    Bookmark locate(const QString& field, QStringView text) const;
    // How many rows hold exactly `text` in the field.
    int countEqual(const QString& field, QStringView text) const;

    // --- random access for views (0-based position among the visible rows)
    QVariant valueAt(int pos, int field) const;
    bool isNullAt(int pos, int field) const;
    QString textAt(int pos, int field) const;
    QString displayTextAt(int pos, int field) const;

    // Bytes held by the rows, the view and the index keys (for benchmarks and diagnostics).
    std::size_t memoryUsage() const;

Q_SIGNALS:
    void layoutReset();              // rows, order, filter or fields changed wholesale
    void rowChanged(int pos);        // one visible row's values changed (post)
    void valuesChanged();            // values of any rows changed; rows and order kept
    void currentChanged(int recNo);  // the current record moved

private:
    friend class Field;
    std::unique_ptr<ClientDataSetPrivate> d;
};

}  // namespace dataset
