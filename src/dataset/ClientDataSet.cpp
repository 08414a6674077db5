#include "dataset/ClientDataSet.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string_view>
#include <utility>

#include "dataset/Filter_p.h"
#include "dataset/PacketFile.h"
#include "dataset/Table_p.h"
#include "textorder/OrdemPtBr.h"

namespace dataset {

using detail::Column;
using detail::Kind;
using detail::Storage;
using detail::Table;

namespace {

std::u16string_view viewOf(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

// Sort keys of one index field, by row id; computed once per index change. Text keys hold the
// Brazilian order's fold; rows whose folds tie are told apart by the full comparison.
struct KeyColumn {
    const Column* col = nullptr;
    bool text = false;
    std::u16string buf;
    std::vector<std::uint32_t> off, len;
    std::vector<std::uint64_t> prefix;  // first four key units, packed so integers compare as text
    mutable std::u16string tieA, tieB;

    void compute(const Column& c, int rows) {
        col = &c;
        text = c.storage == Storage::Text;
        buf.clear();
        off.assign(std::size_t(rows), 0);
        len.assign(std::size_t(rows), 0);
        prefix.assign(std::size_t(rows), 0);
        if (!text) return;
        buf.reserve(c.isWide ? c.wide.size() : c.narrow.size());
        for (int r = 0; r < rows; ++r) update(r);
    }
    void update(int r) {
        if (!text) return;
        const std::size_t row = std::size_t(r);
        if (off.size() <= row) {
            off.resize(row + 1);
            len.resize(row + 1);
            prefix.resize(row + 1);
        }
        const std::size_t at = buf.size();
        if (!col->isNull(row)) textorder::chave(viewOf(col->text(row)), buf);
        off[row] = std::uint32_t(at);
        len[row] = std::uint32_t(buf.size() - at);
        std::uint64_t p = 0;
        for (std::size_t i = 0; i < 4; ++i) p = (p << 16) | (i < len[row] ? buf[at + i] : 0);
        prefix[row] = p;
    }
    bool sameText(std::size_t a, std::size_t b) const {
        const int n = col->textLength(a);
        if (n != col->textLength(b)) return false;
        for (int i = 0; i < n; ++i)
            if (col->charAt(a, std::size_t(i)) != col->charAt(b, std::size_t(i))) return false;
        return true;
    }
    void copyText(std::size_t r, std::u16string& out) const {
        out.resize(std::size_t(col->textLength(r)));
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = col->charAt(r, i);
    }
    int compare(int a, int b) const {
        const std::size_t ra = std::size_t(a), rb = std::size_t(b);
        const bool na = col->isNull(ra), nb = col->isNull(rb);
        if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
        switch (col->storage) {
            case Storage::Text: {
                if (prefix[ra] != prefix[rb]) return prefix[ra] < prefix[rb] ? -1 : 1;
                const std::u16string_view va(buf.data() + off[ra], len[ra]);
                const std::u16string_view vb(buf.data() + off[rb], len[rb]);
                if (const int c = va.compare(vb)) return c < 0 ? -1 : 1;
                // Equal keys are mostly equal texts (the same name twice): no tie to break.
                if (sameText(ra, rb)) return 0;
                copyText(ra, tieA);
                copyText(rb, tieB);
                return textorder::comparaUtf16(tieA, tieB);
            }
            case Storage::Int:
                return col->ints[ra] < col->ints[rb] ? -1 : (col->ints[ra] > col->ints[rb] ? 1 : 0);
            case Storage::Real:
                return col->reals[ra] < col->reals[rb] ? -1
                                                       : (col->reals[ra] > col->reals[rb] ? 1 : 0);
            case Storage::Bytes: {
                const std::string_view va(col->narrow.data() + col->off[ra], col->len[ra]);
                const std::string_view vb(col->narrow.data() + col->off[rb], col->len[rb]);
                const int c = va.compare(vb);
                return c < 0 ? -1 : (c > 0 ? 1 : 0);
            }
        }
        return 0;
    }
    std::size_t memoryBytes() const {
        return buf.capacity() * 2 + off.capacity() * 8 + prefix.capacity() * 8;
    }
};

}  // namespace

struct ClientDataSetPrivate {
    ClientDataSet* q = nullptr;
    FieldDefs declared;
    std::shared_ptr<Table> table = std::make_shared<Table>();
    bool active = false;
    ClientDataSet::State state = ClientDataSet::State::Inactive;

    std::vector<std::uint8_t> deleted;  // by row id
    std::vector<std::int32_t> natural;  // live rows in load/insert order
    std::vector<std::int32_t> order;    // natural, sorted by the index
    std::vector<std::int32_t> view;     // order, narrowed by the filter
    int cur = -1;                       // position in view
    // Controls disabled: the views hear nothing until enabled again, then one summary.
    int controlsDisabled = 0;
    bool pendingLayout = false;
    bool pendingValues = false;
    bool pendingCurrent = false;
    bool eof = true;
    bool bof = true;

    QString filterText;
    detail::FilterExpr filterExpr;
    bool filtered = false;

    QString indexNames;
    std::vector<int> indexCols;
    std::vector<KeyColumn> keys;

    // Edit buffer: only the fields written since Edit/Insert.
    std::vector<QVariant> buf;
    std::vector<std::uint8_t> bufSet;
    std::int32_t insertBefore = -1;  // row id the new record goes before; -1: at the end

    int peekRow = -1;  // row read by field accessors while a view asks for display text

    QString name() const {
        return q->objectName().isEmpty() ? QStringLiteral("ClientDataSet") : q->objectName();
    }
    [[noreturn]] void fail(const QString& what) const {
        throw DataSetError(name() + QStringLiteral(": ") + what);
    }
    void checkActive() const {
        if (!active)
            fail(QStringLiteral("operação não permitida com o conjunto de dados fechado."));
    }

    const FieldDefs& defs() const { return declared.isEmpty() ? table->fields : declared; }
    int fieldCount() const { return int(defs().size()); }
    int indexOf(const QString& n) const {
        const FieldDefs& f = defs();
        for (int i = 0; i < f.size(); ++i)
            if (f[i].name.compare(n, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }

    int currentRow() const {
        return cur >= 0 && cur < int(view.size()) ? view[std::size_t(cur)] : -1;
    }
    int readRow() const { return peekRow >= 0 ? peekRow : currentRow(); }
    bool editing() const {
        return state == ClientDataSet::State::Edit || state == ClientDataSet::State::Insert;
    }

    Column& mutableColumn(int c) {
        auto& p = table->cols[std::size_t(c)];
        if (p.use_count() > 1) p = std::make_shared<Column>(*p);
        return *p;
    }

    // A write may have copied columns away from a shared packet: keys must read the new ones.
    void repointKeys() {
        for (std::size_t k = 0; k < indexCols.size(); ++k)
            keys[k].col = table->cols[std::size_t(indexCols[k])].get();
    }

    // ---- order, view

    void resolveIndex() {
        indexCols.clear();
        keys.clear();
        if (indexNames.trimmed().isEmpty() || !active) return;
        for (const QString& part : indexNames.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString n = part.trimmed();
            if (n.isEmpty()) continue;
            const int i = indexOf(n);
            if (i < 0) fail(QStringLiteral("campo '%1' do índice não encontrado.").arg(n));
            indexCols.push_back(i);
        }
        keys.resize(indexCols.size());
        for (std::size_t k = 0; k < indexCols.size(); ++k)
            keys[k].compute(*table->cols[std::size_t(indexCols[k])], table->rows);
    }

    bool less(std::int32_t a, std::int32_t b) const {
        for (const KeyColumn& k : keys) {
            const int c = k.compare(a, b);
            if (c != 0) return c < 0;
        }
        return false;
    }

    void rebuildOrder() {
        order = natural;
        if (!keys.empty())
            std::stable_sort(order.begin(), order.end(),
                             [this](std::int32_t a, std::int32_t b) { return less(a, b); });
    }

    void rebuildView() {
        if (!filtered || filterExpr.empty() || !active) {
            view = order;
            return;
        }
        view = order;
        std::optional<detail::BoundFilter> bound;
        try {
            bound.emplace(filterExpr, *table);
        } catch (...) {
            // A filter naming a field this data lacks: the switch goes off, the list stays whole.
            filtered = false;
            throw;
        }
        const detail::BoundFilter& f = *bound;
        std::vector<std::int32_t> v;
        v.reserve(order.size());
        for (std::int32_t r : order)
            if (f.matches(r)) v.push_back(r);
        view = std::move(v);
    }

    bool passesFilter(std::int32_t r) const {
        if (!filtered || filterExpr.empty()) return true;
        return detail::BoundFilter(filterExpr, *table).matches(r);
    }

    void placeCursor(int rowToKeep) {
        cur = -1;
        if (rowToKeep >= 0) {
            auto it = std::find(view.begin(), view.end(), rowToKeep);
            if (it != view.end()) cur = int(it - view.begin());
        }
        if (cur < 0 && !view.empty()) cur = 0;
        bof = cur <= 0;
        eof = view.empty();
    }

    void announce() {
        if (controlsDisabled) {
            pendingLayout = pendingCurrent = true;
            return;
        }
        Q_EMIT q->layoutReset();
        Q_EMIT q->currentChanged(cur + 1);
    }
    void announceRow(int pos) {
        if (controlsDisabled)
            pendingValues = true;
        else
            Q_EMIT q->rowChanged(pos);
    }
    void announceCurrent() {
        if (controlsDisabled)
            pendingCurrent = true;
        else
            Q_EMIT q->currentChanged(cur + 1);
    }

    // ---- loading

    void resetRows(int rows) {
        deleted.assign(std::size_t(rows), 0);
        natural.resize(std::size_t(rows));
        std::iota(natural.begin(), natural.end(), 0);
    }

    void install(std::shared_ptr<Table> t) {
        state = ClientDataSet::State::Browse;
        buf.clear();
        bufSet.clear();
        table = std::move(t);
        active = true;
        resetRows(table->rows);
        order.clear();
        view.clear();
        cur = -1;
        std::optional<DataSetError> err;
        try {
            resolveIndex();
        } catch (const DataSetError& e) {
            err = e;
        }
        rebuildOrder();
        try {
            rebuildView();
        } catch (const DataSetError& e) {
            if (!err) err = e;
        }
        placeCursor(-1);
        announce();
        if (err) throw *err;
    }

    std::shared_ptr<Table> emptyTable(const FieldDefs& fields) const {
        auto t = std::make_shared<Table>();
        t->fields = fields;
        for (const FieldDef& f : fields)
            t->cols.push_back(std::make_shared<Column>(detail::storageOf(f.type)));
        return t;
    }

    // ---- editing

    void checkBrowseMode() {
        if (editing()) q->post();
    }

    QVariant currentValue(int f) const {
        if (peekRow < 0 && editing()) {
            if (bufSet[std::size_t(f)]) return buf[std::size_t(f)];
            if (state == ClientDataSet::State::Insert) return QVariant();
        }
        const int r = readRow();
        if (r < 0) return QVariant();
        return table->value(r, f);
    }

    void setBuffer(int f, const QVariant& v) {
        if (!editing())
            fail(QStringLiteral("o conjunto de dados não está em modo de edição ou inserção."));
        const FieldDef& def = defs()[f];
        if (def.readOnly)
            fail(QStringLiteral("o campo '%1' não pode ser modificado.").arg(def.name));
        QVariant c;
        if (def.isText() && v.metaType().id() == QMetaType::QString) {
            // The common write (a mark, a code): already text, only the size to mind.
            const QString s = v.toString();
            c = def.size > 0 && s.size() > def.size ? QVariant(s.left(def.size)) : v;
        } else {
            c = detail::convertValue(v, def);
            if (def.isText() && !c.isNull()) c = detail::cutToSize(c.toString(), def.size);
        }
        buf[std::size_t(f)] = c;
        bufSet[std::size_t(f)] = 1;
    }

    void startBuffer() {
        // Values whose flag is clear are never read; keeping them spares a reallocation per edit.
        buf.resize(std::size_t(fieldCount()));
        bufSet.assign(std::size_t(fieldCount()), 0);
    }
};

// ================= Field

const FieldDef& Field::def() const {
    return ds_->fieldDef(index_);
}
QString Field::fieldName() const {
    return def().name;
}

bool Field::isNull() const {
    const auto& d = *ds_->d;
    if (d.peekRow < 0 && d.editing()) return d.currentValue(index_).isNull();
    const int r = d.readRow();
    return r < 0 || d.table->cols[std::size_t(index_)]->isNull(std::size_t(r));
}

QVariant Field::value() const {
    return ds_->d->currentValue(index_);
}

QString Field::asString() const {
    const auto& d = *ds_->d;
    if (d.peekRow < 0 && d.editing())
        return detail::textOfValue(d.currentValue(index_), def().type);
    const int r = d.readRow();
    return r < 0 ? QString() : d.table->text(r, index_);
}

qint64 Field::asInteger() const {
    const QVariant v = value();
    if (v.isNull()) return 0;
    FieldDef as;
    as.name = fieldName();
    as.type = FieldType::LargeInt;
    if (v.metaType().id() == QMetaType::QDate || v.metaType().id() == QMetaType::QDateTime ||
        v.metaType().id() == QMetaType::QTime)
        throw DataSetError(QStringLiteral("%1: o campo '%2' não pode ser lido como inteiro.")
                               .arg(ds_->d->name(), as.name));
    return detail::convertValue(v, as).toLongLong();
}

QDateTime Field::asDateTime() const {
    const QVariant v = value();
    if (v.isNull()) return QDateTime();
    if (v.metaType().id() == QMetaType::QTime) return QDateTime(QDate(1899, 12, 30), v.toTime());
    FieldDef as;
    as.type = FieldType::DateTime;
    return detail::convertValue(v, as).toDateTime();
}

QString Field::displayText() const {
    QString text = asString();
    if (const GetTextHandler& h = def().onGetText) h(*this, text, true);
    return text;
}

void Field::setValue(const QVariant& v) {
    ds_->d->setBuffer(index_, v);
}
void Field::setAsString(const QString& v) {
    ds_->d->setBuffer(index_, QVariant(v));
}
void Field::setAsInteger(qint64 v) {
    ds_->d->setBuffer(index_, QVariant(v));
}
void Field::setAsDateTime(const QDateTime& v) {
    ds_->d->setBuffer(index_, v.isValid() ? QVariant(v) : QVariant());
}
void Field::clear() {
    ds_->d->setBuffer(index_, QVariant());
}

// ================= ClientDataSet

ClientDataSet::ClientDataSet(QObject* parent) : QObject(parent), d(new ClientDataSetPrivate) {
    d->q = this;
}

ClientDataSet::~ClientDataSet() = default;

void ClientDataSet::setFieldDefs(const FieldDefs& defs) {
    if (d->active)
        d->fail(QStringLiteral("as definições de campos só podem mudar com o conjunto fechado."));
    d->declared = defs;
    d->table = d->emptyTable(defs);
}

const FieldDefs& ClientDataSet::declaredFieldDefs() const {
    return d->declared;
}
int ClientDataSet::fieldCount() const {
    return d->fieldCount();
}
const FieldDef& ClientDataSet::fieldDef(int i) const {
    return d->defs()[i];
}
FieldDef& ClientDataSet::fieldDefRef(int i) {
    return d->declared.isEmpty() ? d->table->fields[i] : d->declared[i];
}
int ClientDataSet::fieldIndex(const QString& name) const {
    return d->indexOf(name);
}
Field ClientDataSet::field(int i) {
    if (i < 0 || i >= fieldCount())
        d->fail(QStringLiteral("índice de campo %1 fora do intervalo.").arg(i));
    return Field(this, i);
}
Field ClientDataSet::fieldByName(const QString& name) {
    const int i = d->indexOf(name);
    if (i < 0) d->fail(QStringLiteral("campo '%1' não encontrado.").arg(name));
    return Field(this, i);
}
Field ClientDataSet::findField(const QString& name) {
    return Field(this, d->indexOf(name));
}

bool ClientDataSet::active() const {
    return d->active;
}
ClientDataSet::State ClientDataSet::state() const {
    return d->state;
}

void ClientDataSet::open() {
    if (d->active) return;
    if (d->table->fields.isEmpty() && d->declared.isEmpty())
        d->fail(QStringLiteral("não há definições de campos nem dados para abrir."));
    auto t = d->table;
    if (!d->declared.isEmpty() && t->fields.size() != d->declared.size())
        t = d->emptyTable(d->declared);
    d->install(t);
}

void ClientDataSet::close() {
    if (!d->active) return;
    d->active = false;
    d->state = State::Inactive;
    d->buf.clear();
    d->bufSet.clear();
    d->table = d->emptyTable(d->declared.isEmpty() ? d->table->fields : d->declared);
    d->resetRows(0);
    d->order.clear();
    d->view.clear();
    d->keys.clear();
    d->cur = -1;
    d->eof = d->bof = true;
    d->announce();
}

void ClientDataSet::createDataSet() {
    const FieldDefs defs = d->declared.isEmpty() ? d->table->fields : d->declared;
    if (defs.isEmpty())
        d->fail(QStringLiteral("não há definições de campos para criar o conjunto de dados."));
    d->install(d->emptyTable(defs));
}

void ClientDataSet::emptyDataSet() {
    d->checkActive();
    d->install(d->emptyTable(d->table->fields));
}

void ClientDataSet::setData(const DataPacket& packet) {
    const std::shared_ptr<const Table> src = packet.table();
    auto t = std::make_shared<Table>();
    if (d->declared.isEmpty()) {
        t->fields = src->fields;
        // Presentation set on a previous packet's fields survives a reload of the same columns.
        for (FieldDef& f : t->fields) {
            for (const FieldDef& old : d->table->fields) {
                if (old.name.compare(f.name, Qt::CaseInsensitive) != 0) continue;
                f.visible = old.visible;
                f.displayLabel = old.displayLabel;
                f.displayWidth = old.displayWidth;
                f.defaultValue = old.defaultValue;
                f.editMask = old.editMask;
                f.onGetText = old.onGetText;
            }
        }
        t->cols = src->cols;
        t->rows = src->rows;
    } else if (src->fields.isEmpty()) {
        // A packet without columns carries nothing: the declared table, empty.
        t = d->emptyTable(d->declared);
    } else {
        t->fields = d->declared;
        t->rows = src->rows;
        for (int i = 0; i < d->declared.size(); ++i) {
            const FieldDef& def = d->declared[i];
            const int from = packet.fieldIndex(def.name);
            if (from < 0)
                d->fail(
                    QStringLiteral("campo '%1' não encontrado no pacote de dados.").arg(def.name));
            const auto& col = src->cols[std::size_t(from)];
            const bool sameKind =
                detail::kindOf(def.type) == detail::kindOf(src->fields[from].type);
            if (sameKind && (!def.isText() || def.size <= 0 || col->maxLen <= def.size)) {
                t->cols.push_back(col);
                continue;
            }
            auto c = std::make_shared<Column>(detail::storageOf(def.type));
            c->reserve(std::size_t(src->rows));
            t->cols.push_back(c);
            for (int r = 0; r < src->rows; ++r) c->appendNull();
            for (int r = 0; r < src->rows; ++r) {
                QVariant v = src->value(r, from);
                if (def.isText() && !v.isNull())
                    v = detail::cutToSize(detail::textOfValue(v, src->fields[from].type), def.size);
                t->set(r, i, v);
            }
        }
    }
    d->install(std::move(t));
}

void ClientDataSet::setData(const QVariant& packet) {
    setData(packetFromVariant(packet));
}

DataPacket ClientDataSet::data() const {
    auto t = std::make_shared<Table>();
    t->fields = d->table->fields;
    if (!d->declared.isEmpty() && d->declared.size() == t->fields.size()) t->fields = d->declared;
    bool identity = d->order.size() == std::size_t(d->table->rows);
    for (std::size_t i = 0; identity && i < d->order.size(); ++i)
        identity = d->order[i] == std::int32_t(i);
    if (identity) {
        t->cols = d->table->cols;
        t->rows = d->table->rows;
    } else {
        for (const auto& c : d->table->cols) t->cols.push_back(c->gather(d->order));
        t->rows = int(d->order.size());
    }
    return DataPacket(std::shared_ptr<const Table>(std::move(t)));
}

void ClientDataSet::loadFromFile(const QString& path) {
    setData(readPacketFile(path));
}

void ClientDataSet::saveToFile(const QString& path, FileFormat format) const {
    const DataPacket p = data();
    const QByteArray bytes = format == FileFormat::Binary
                                 ? writeBinaryPacket(p)
                                 : writeXmlPacket(p, format == FileFormat::XmlUtf8);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw DataSetError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                               .arg(path, f.errorString()));
}

// ---- navigation

int ClientDataSet::recordCount() const {
    return int(d->view.size());
}
bool ClientDataSet::isEmpty() const {
    return d->view.empty() && d->state != State::Insert;
}
bool ClientDataSet::eof() const {
    return d->eof;
}
bool ClientDataSet::bof() const {
    return d->bof;
}
int ClientDataSet::recNo() const {
    return d->cur + 1;
}

void ClientDataSet::first() {
    d->checkActive();
    d->checkBrowseMode();
    d->cur = d->view.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->view.empty();
    d->announceCurrent();
}

void ClientDataSet::next() {
    d->checkActive();
    d->checkBrowseMode();
    d->bof = false;
    if (d->cur + 1 < int(d->view.size())) {
        ++d->cur;
        d->announceCurrent();
    } else {
        d->eof = true;
    }
}

void ClientDataSet::last() {
    d->checkActive();
    d->checkBrowseMode();
    d->cur = int(d->view.size()) - 1;
    d->eof = true;
    d->bof = d->view.empty();
    d->announceCurrent();
}

void ClientDataSet::moveTo(int recNo) {
    d->checkActive();
    d->checkBrowseMode();
    if (d->view.empty()) return;
    d->cur = std::clamp(recNo, 1, int(d->view.size())) - 1;
    d->eof = d->bof = false;
    d->announceCurrent();
}

// ---- editing

void ClientDataSet::edit() {
    d->checkActive();
    if (d->editing()) return;
    if (d->view.empty() || d->cur < 0) {
        append();
        return;
    }
    d->startBuffer();
    d->state = State::Edit;
}

void ClientDataSet::insert() {
    d->checkActive();
    d->checkBrowseMode();
    d->insertBefore = d->currentRow();
    d->startBuffer();
    d->state = State::Insert;
    for (int i = 0; i < fieldCount(); ++i)
        if (d->defs()[i].defaultValue.isValid()) d->setBuffer(i, d->defs()[i].defaultValue);
}

void ClientDataSet::append() {
    insert();
    d->insertBefore = -1;
}

void ClientDataSet::post() {
    if (!d->editing()) return;
    const FieldDefs& defs = d->defs();
    for (int i = 0; i < defs.size(); ++i) {
        if (defs[i].required && Field(this, i).isNull())
            d->fail(QStringLiteral("o campo '%1' deve ser informado.").arg(defs[i].name));
    }
    Table& t = *d->table;
    if (d->state == State::Insert) {
        for (int c = 0; c < int(t.cols.size()); ++c) d->mutableColumn(c).appendNull();
        const std::int32_t row = t.rows++;
        for (int c = 0; c < defs.size(); ++c)
            if (d->bufSet[std::size_t(c)]) t.setConverted(row, c, d->buf[std::size_t(c)]);
        d->deleted.push_back(0);
        auto at = d->natural.end();
        if (d->insertBefore >= 0)
            at = std::find(d->natural.begin(), d->natural.end(), d->insertBefore);
        d->natural.insert(at, row);
        d->repointKeys();
        for (KeyColumn& k : d->keys) k.update(row);
        d->state = State::Browse;
        d->rebuildOrder();
        d->rebuildView();
        d->placeCursor(row);
        d->announce();
        return;
    }
    const int row = d->currentRow();
    bool reorder = false, refilter = false;
    for (int c = 0; c < defs.size(); ++c) {
        if (!d->bufSet[std::size_t(c)]) continue;
        d->mutableColumn(c);
        t.setConverted(row, c, d->buf[std::size_t(c)]);
        d->repointKeys();
        for (std::size_t k = 0; k < d->indexCols.size(); ++k) {
            if (d->indexCols[k] == c) {
                d->keys[k].update(row);
                reorder = true;
            }
        }
        refilter = refilter || (d->filtered && !d->filterExpr.empty());
    }
    d->state = State::Browse;
    if (reorder) {
        const int pos = d->cur;
        d->rebuildOrder();
        d->rebuildView();
        d->placeCursor(row);
        if (d->currentRow() != row && !d->view.empty())
            d->cur = std::min(pos, int(d->view.size()) - 1);
        d->announce();
    } else if (refilter && !d->passesFilter(row)) {
        // The record leaves the filtered view; the next one takes its place.
        const int pos = d->cur;
        d->view.erase(d->view.begin() + pos);
        d->cur = d->view.empty() ? -1 : std::min(pos, int(d->view.size()) - 1);
        d->eof = d->view.empty();
        d->announce();
    } else {
        d->announceRow(d->cur);
    }
}

void ClientDataSet::cancel() {
    if (!d->editing()) return;
    const bool wasEdit = d->state == State::Edit;
    d->state = State::Browse;
    d->buf.clear();
    d->bufSet.clear();
    if (wasEdit) d->announceRow(d->cur);
}

// ---- controls

void ClientDataSet::disableControls() {
    ++d->controlsDisabled;
}

void ClientDataSet::enableControls() {
    if (d->controlsDisabled == 0 || --d->controlsDisabled > 0) return;
    const bool layout = std::exchange(d->pendingLayout, false);
    const bool values = std::exchange(d->pendingValues, false);
    const bool current = std::exchange(d->pendingCurrent, false);
    if (layout)
        Q_EMIT layoutReset();
    else if (values)
        Q_EMIT valuesChanged();
    if (layout || current) Q_EMIT currentChanged(d->cur + 1);
}

bool ClientDataSet::controlsDisabled() const {
    return d->controlsDisabled > 0;
}

// ---- filter

QString ClientDataSet::filter() const {
    return d->filterText;
}

void ClientDataSet::setFilter(const QString& text) {
    detail::FilterExpr e = detail::parseFilter(text);
    if (d->active) d->checkBrowseMode();
    d->filterText = text;
    d->filterExpr = std::move(e);
    if (d->filtered && d->active) {
        try {
            d->rebuildView();
        } catch (...) {
            d->placeCursor(-1);
            d->announce();
            throw;
        }
        d->placeCursor(-1);
        d->announce();
    }
}

bool ClientDataSet::filtered() const {
    return d->filtered;
}

void ClientDataSet::setFiltered(bool on) {
    if (d->filtered == on) return;
    if (d->active) d->checkBrowseMode();
    d->filtered = on;
    if (!d->active) return;
    try {
        d->rebuildView();
    } catch (...) {
        d->filtered = false;
        d->view = d->order;
        d->placeCursor(-1);
        d->announce();
        throw;
    }
    d->placeCursor(-1);
    d->announce();
}

// ---- index

QString ClientDataSet::indexFieldNames() const {
    return d->indexNames;
}

void ClientDataSet::setIndexFieldNames(const QString& names) {
    if (d->active) d->checkBrowseMode();
    const QString old = d->indexNames;
    d->indexNames = names;
    if (!d->active) return;
    const int keep = d->currentRow();
    try {
        d->resolveIndex();
    } catch (...) {
        d->indexNames = old;
        d->resolveIndex();
        throw;
    }
    d->rebuildOrder();
    d->rebuildView();
    d->placeCursor(keep);
    d->announce();
}

// ---- whole-table lookups

namespace {
// Calls `f` for every live row (in `order`) whose field holds exactly `text`, until it returns
// false.
template <typename F>
void forEachEqual(const ClientDataSetPrivate& d, int field, QStringView text, F f) {
    if (!d.active || field < 0 || field >= int(d.table->cols.size())) return;
    const Column& c = *d.table->cols[std::size_t(field)];
    if (c.storage != Storage::Text) {
        for (const std::int32_t row : d.order)
            if (d.table->text(row, field) == text && !f(row)) return;
        return;
    }
    // Length, then the last character (where codes of one list differ most), before the rest.
    const std::size_t n = std::size_t(text.size());
    if (n == 0) return;  // an empty text reads as NULL, never equal
    const char16_t ultimo = text[text.size() - 1].unicode();
    for (const std::int32_t row : d.order) {
        const std::size_t r = std::size_t(row);
        if (c.len[r] != n || c.null[r] || c.charAt(r, n - 1) != ultimo) continue;
        if (c.textEquals(r, text) && !f(row)) return;
    }
}
}  // namespace

ClientDataSet::Bookmark ClientDataSet::locate(const QString& field, QStringView text) const {
    Bookmark found = -1;
    forEachEqual(*d, d->indexOf(field), text, [&](std::int32_t row) {
        found = row;
        return false;
    });
    return found;
}

int ClientDataSet::countEqual(const QString& field, QStringView text) const {
    int n = 0;
    forEachEqual(*d, d->indexOf(field), text, [&](std::int32_t) {
        ++n;
        return true;
    });
    return n;
}

// ---- bookmarks

ClientDataSet::Bookmark ClientDataSet::bookmark() const {
    return d->currentRow();
}

bool ClientDataSet::bookmarkValid(Bookmark b) const {
    if (b < 0 || b >= d->table->rows || d->deleted[std::size_t(b)]) return false;
    return std::find(d->view.begin(), d->view.end(), std::int32_t(b)) != d->view.end();
}

void ClientDataSet::gotoBookmark(Bookmark b) {
    d->checkActive();
    d->checkBrowseMode();
    auto it = std::find(d->view.begin(), d->view.end(), std::int32_t(b));
    if (b < 0 || it == d->view.end()) d->fail(QStringLiteral("registro não encontrado."));
    d->cur = int(it - d->view.begin());
    d->eof = d->bof = false;
    d->announceCurrent();
}

// ---- random access

QVariant ClientDataSet::valueAt(int pos, int field) const {
    if (pos < 0 || pos >= int(d->view.size()) || field < 0 || field >= fieldCount())
        return QVariant();
    if (pos == d->cur && d->editing()) return d->currentValue(field);
    return d->table->value(d->view[std::size_t(pos)], field);
}

bool ClientDataSet::isNullAt(int pos, int field) const {
    return valueAt(pos, field).isNull();
}

QString ClientDataSet::textAt(int pos, int field) const {
    if (pos < 0 || pos >= int(d->view.size()) || field < 0 || field >= fieldCount())
        return QString();
    if (pos == d->cur && d->editing())
        return detail::textOfValue(d->currentValue(field), fieldDef(field).type);
    return d->table->text(d->view[std::size_t(pos)], field);
}

QString ClientDataSet::displayTextAt(int pos, int field) const {
    if (pos < 0 || pos >= int(d->view.size()) || field < 0 || field >= fieldCount())
        return QString();
    const FieldDef& def = fieldDef(field);
    if (!def.onGetText) return textAt(pos, field);
    const int saved = d->peekRow;
    if (!(pos == d->cur && d->editing())) d->peekRow = d->view[std::size_t(pos)];
    QString text;
    try {
        text = Field(const_cast<ClientDataSet*>(this), field).displayText();
    } catch (...) {
        d->peekRow = saved;
        throw;
    }
    d->peekRow = saved;
    return text;
}

std::size_t ClientDataSet::memoryUsage() const {
    std::size_t n = 0;
    for (const auto& c : d->table->cols) n += c->memoryBytes();
    n += (d->natural.capacity() + d->order.capacity() + d->view.capacity()) * 4 +
         d->deleted.capacity();
    for (const KeyColumn& k : d->keys) n += k.memoryBytes();
    return n;
}

}  // namespace dataset
