#include "dataset/PacketFile.h"

#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <numeric>

#include "dataset/Codec_p.h"
#include "dataset/Filter_p.h"
#include "dataset/PacketFile_p.h"
#include "textorder/OrdemPtBr.h"

namespace dataset {

namespace detail {

void renameDuplicates(FieldDefs& fields) {
    for (int i = 1; i < fields.size(); ++i) {
        auto taken = [&](const QString& n) {
            for (int j = 0; j < fields.size(); ++j)
                if (j != i && fields[j].name.compare(n, Qt::CaseInsensitive) == 0) return true;
            return false;
        };
        bool clash = false;
        for (int j = 0; j < i && !clash; ++j)
            clash = fields[j].name.compare(fields[i].name, Qt::CaseInsensitive) == 0;
        if (!clash) continue;
        const QString base = fields[i].name;
        for (int k = 1;; ++k) {
            const QString n = base + QLatin1Char('_') + QString::number(k);
            if (!taken(n)) {
                fields[i].name = n;
                break;
            }
        }
    }
}

void unreadable(const QString& name, const QString& reason) {
    throw DataSetError(
        QStringLiteral("Não foi possível ler o arquivo \"%1\": %2.").arg(name, reason));
}

DataPacket finishPacket(RawPacket&& raw) {
    Table& t = *raw.table;
    std::vector<std::int32_t> ids;
    ids.reserve(std::size_t(t.rows));
    for (int r = 0; r < t.rows; ++r)
        if ((raw.status[std::size_t(r)] & kStatusHidden) == 0) ids.push_back(r);
    if (!raw.defaultOrder.empty()) {
        std::vector<std::vector<std::u16string>> folded(raw.defaultOrder.size());
        for (std::size_t k = 0; k < raw.defaultOrder.size(); ++k) {
            const auto& key = raw.defaultOrder[k];
            if (t.cols[std::size_t(key.col)]->storage != Storage::Text) continue;
            folded[k].resize(std::size_t(t.rows));
            for (std::int32_t r : ids) {
                const QString s = t.cols[std::size_t(key.col)]->text(std::size_t(r));
                if (key.caseInsensitive) {
                    textorder::chave(
                        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                            std::size_t(s.size())),
                        folded[k][std::size_t(r)]);
                } else {
                    folded[k][std::size_t(r)].assign(reinterpret_cast<const char16_t*>(s.utf16()),
                                                     std::size_t(s.size()));
                }
            }
        }
        auto cmp = [&](std::int32_t a, std::int32_t b) {
            for (std::size_t k = 0; k < raw.defaultOrder.size(); ++k) {
                const auto& key = raw.defaultOrder[k];
                const Column& c = *t.cols[std::size_t(key.col)];
                const std::size_t ra = std::size_t(a), rb = std::size_t(b);
                int res = 0;
                if (c.isNull(ra) || c.isNull(rb)) {
                    res = c.isNull(ra) == c.isNull(rb) ? 0 : (c.isNull(ra) ? -1 : 1);
                } else if (c.storage == Storage::Text) {
                    res = folded[k][ra].compare(folded[k][rb]);
                    if (res == 0 && key.caseInsensitive) {
                        const QString ta = c.text(ra), tb = c.text(rb);
                        res = textorder::comparaUtf16(
                            {reinterpret_cast<const char16_t*>(ta.utf16()), std::size_t(ta.size())},
                            {reinterpret_cast<const char16_t*>(tb.utf16()),
                             std::size_t(tb.size())});
                    }
                } else if (c.storage == Storage::Int) {
                    res = c.ints[ra] < c.ints[rb] ? -1 : (c.ints[ra] > c.ints[rb] ? 1 : 0);
                } else if (c.storage == Storage::Real) {
                    res = c.reals[ra] < c.reals[rb] ? -1 : (c.reals[ra] > c.reals[rb] ? 1 : 0);
                } else {
                    res = c.bytes(ra).compare(c.bytes(rb));
                }
                if (res != 0) return key.descending ? res > 0 : res < 0;
            }
            return false;
        };
        std::stable_sort(ids.begin(), ids.end(), cmp);
    }
    auto out = std::make_shared<Table>();
    out->fields = t.fields;
    out->rows = int(ids.size());
    for (const auto& c : t.cols) out->cols.push_back(c->gather(ids));
    return DataPacket(std::shared_ptr<const Table>(std::move(out)));
}

}  // namespace detail

DataPacket readPacket(const QByteArray& bytes, const QString& name, const PacketFileOptions& opts) {
    static const char magic[4] = {char(0x96), char(0x19), char(0xE0), char(0xBD)};
    if (bytes.size() >= 4 && std::equal(magic, magic + 4, bytes.constData()))
        return detail::readBinaryPacket(bytes, name, opts);
    if (bytes.isEmpty()) detail::unreadable(name, QStringLiteral("arquivo vazio"));
    return detail::readXmlPacket(bytes, name, opts);
}

QByteArray readRegularFile(const QString& path, qint64 maxBytes) {
    // Opened without blocking (a FIFO would wait for a writer), then judged by what was opened.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw DataSetError(QStringLiteral("Não foi possível abrir o arquivo \"%1\": %2.")
                               .arg(path, qt_error_string(errno)));
    const auto fecha = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw DataSetError(QStringLiteral("Não foi possível ler o arquivo \"%1\": não é um arquivo "
                                          "comum (é um dispositivo, uma fila, uma pasta ou um "
                                          "atalho para um deles).")
                               .arg(path));
    // The size a file claims is not trusted: the read stops one byte past the limit.
    QByteArray out;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw DataSetError(QStringLiteral("Não foi possível ler o arquivo \"%1\": %2.")
                                   .arg(path, qt_error_string(errno)));
        if (n == 0) return out;
        out.append(buffer, qsizetype(std::min<qint64>(n, maxBytes + 1 - out.size())));
        if (out.size() > maxBytes)
            throw DataSetError(
                QStringLiteral("Não foi possível ler o arquivo \"%1\": arquivo grande demais.")
                    .arg(path));
    }
}

DataPacket readPacketFile(const QString& path, const PacketFileOptions& opts) {
    // Tills' files are small; past this the reader's memory would grow out of proportion.
    constexpr qint64 kMaxFile = qint64(64) << 20;
    return readPacket(readRegularFile(path, kMaxFile), path, opts);
}

QString decodeAnsi(const QByteArray& bytes, const QByteArray& codePage) {
    return detail::AnsiCodec(codePage).decode(bytes.constData(), std::size_t(bytes.size()));
}

}  // namespace dataset
