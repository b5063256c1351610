#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <thread>

#include "core/VirtualEventLoop.h"
#include "support/FakeClock.h"
#include "window/StatusRecord.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class MemoryLogView final : public LogView {
public:
    void appendLine(const QString& line) override { lines << line; }
    int displayedRows() const override { return static_cast<int>(lines.size()); }
    void clearLines() override { lines.clear(); }
    QStringList lines;
};

QStringList fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct Kind {
    const char* message;
    const char* kind;
    int priority;
};

TEST(StatusRecord, EachMessageHasItsEvent) {
    for (const Kind& k : {
             Kind{"Localizando Hardware da Vizudu...", "start", 6},
             Kind{"O hardware da espera foi localizado.", "plug", 6},
             Kind{"Aguarde inicializando stream.", "plug", 6},
             Kind{"O Hardware da espera não foi localizado.", "unplug", 4},
             Kind{"Verifique se o cabo usb esta conectado.", "unplug", 4},
             Kind{"Erro ao desligar analize USB", "unplug", 3},
             Kind{"O Hardware foi conectado.", "plug", 6},
             Kind{"Aguarde incializando o stream.", "plug", 6},
             Kind{"O Hardware da espera foi desconectado.", "unplug", 4},
             Kind{"Erro no stream do canal 1", "sound", 3},
             Kind{"Stream inicializado com sucesso.", "sound", 6},
             Kind{"Efetuando troca de arquivo de áudio.", "swap", 6},
             Kind{"Erro ao deletar arquivo antigo.", "swap", 3},
             Kind{"Erro ao deletar da pasta de reposição.", "swap", 3},
             Kind{"Troca de arquivo de áudio efetuada com sucesso.", "swap", 6},
             Kind{"Erro ao reproduzir pela troca", "swap", 3},
             Kind{"Enviando e-mail de troca de arquivo de áudio.", "mail", 6},
             Kind{"Enviando e-mail de hardware desconectado.", "mail", 6},
             Kind{"Enviando e-mail de hardware reconectado.", "mail", 6},
             Kind{"Erro ao enviar e-mail.", "mail", 3},
             Kind{"E-mail enviado com sucesso.", "mail", 6},
             Kind{"Motivo: o servidor não respondeu em 30 s.", "mail", 3},
             Kind{"E-mail não enviado: o sistema foi finalizado durante o envio.", "mail", 4},
             // Composed lines, by what they hold.
             Kind{"O som parou; a mensagem de espera está fora do ar.", "sound", 4},
             Kind{"A mensagem de espera voltou ao ar.", "sound", 6},
             Kind{"O servidor de som não está disponível; o canal da espera será aberto...",
                  "sound", 4},
             Kind{"Sistema finalizado: a mensagem de espera saiu do ar.", "stop", 6},
             Kind{"O arquivo promo.txt não é uma mensagem (texto) e foi movido para a pasta x.",
                  "drop", 6},
             Kind{"A pasta de reposição /x não foi encontrada; até que ela volte...", "drop", 4},
             Kind{"O arquivo de configurações /x voltou a funcionar.", "config", 4},
             Kind{"As métricas não foram escritas em /x.prom: é uma pasta.", "config", 4},
             Kind{"Erro desconhecido", "error", 3},
             Kind{"Uma linha que ninguém previu.", "other", 6},
         }) {
        SCOPED_TRACE(k.message);
        const LogEvent e = ClassifyLogMessage(QString::fromUtf8(k.message));
        EXPECT_STREQ(e.kind, k.kind);
        EXPECT_EQ(e.priority, k.priority);
    }
}

struct RecordFile : ::testing::Test {
    StatusRecord::Options file(qint64 rotateAt = StatusRecord::kRotateAtBytes) {
        StatusRecord::Options o;
        o.logFile = path;
        o.journal = false;
        o.rotateAtBytes = rotateAt;
        return o;
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("state/quindra/espera.log"));
    QStringList problems;
    std::function<void(const QString&)> said = [this](const QString& p) { problems << p; };
};

// The status log hands each line to the record; the file holds the
// time-stamped lines, and after a restart the earlier run's lines are still
// there, in a folder of the program's own.
TEST_F(RecordFile, TheFileKeepsThePreviousRunsLines) {
    VirtualEventLoop loop;
    FakeClock clock(QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33)));
    MemoryLogView view;
    for (const char* message : {"O Hardware foi conectado.", "Sistema finalizado."}) {
        StatusRecord record(file(), said);
        StatusLog log(loop, clock, LocaleFormats(QLocale(QStringLiteral("pt_BR"))), view, nullptr);
        log.setRecord(&record);
        log.write(QString::fromUtf8(message));
    }
    EXPECT_EQ(fileLines(path),
              QStringList({QStringLiteral("10/12/2026 - 14:05:33 - O Hardware foi conectado."),
                           QStringLiteral("10/12/2026 - 14:05:33 - Sistema finalizado.")}));
    EXPECT_EQ(view.lines.size(), 2);
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(QStringLiteral("state/quindra"))).constData(),
                     &folder),
              0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    struct stat log {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &log), 0);
    EXPECT_EQ(log.st_mode & 0077, 0u);
    EXPECT_TRUE(problems.isEmpty());
}

// At 1 MB the file is rotated; three old files are kept, oldest last, and
// no file passes the size.
TEST_F(RecordFile, RotatesAtOneMegabyteKeepingThree) {
    const QString filler(990, QLatin1Char('x'));
    const int lines = 5 * 1024;  // about five files' worth
    {
        StatusRecord record(file(), said);
        for (int i = 0; i < lines; ++i) {
            const QString message = QStringLiteral("%1 ").arg(i, 5, 10, QLatin1Char('0')) + filler;
            record.keep(message, message);
        }
    }
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".4")));
    int next = -1;
    for (const QString& name : {path + QStringLiteral(".3"), path + QStringLiteral(".2"),
                                path + QStringLiteral(".1"), path}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_LE(QFileInfo(name).size(), StatusRecord::kRotateAtBytes);
        // A rotated file was full: one more line would have passed the size.
        if (name != path) {
            EXPECT_GT(QFileInfo(name).size(), StatusRecord::kRotateAtBytes - 2000);
        }
        const QStringList got = fileLines(name);
        ASSERT_FALSE(got.isEmpty());
        // Each file goes on where the older one ended.
        const int first = got.first().left(5).toInt();
        if (next >= 0) {
            EXPECT_EQ(first, next);
        }
        next = got.last().left(5).toInt() + 1;
    }
    EXPECT_EQ(next, lines);
    EXPECT_TRUE(problems.isEmpty());
}

// A folder that cannot be made: said once, however many lines follow, and
// the lines still reach the window.
TEST_F(RecordFile, AFolderThatCannotBeMadeIsSaidOnce) {
    QFile blocker(dir.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    {
        StatusRecord record(file(), said);
        for (int i = 0; i < 5; ++i)
            record.keep(QStringLiteral("linha"), QStringLiteral("linha"));
        record.flush();
    }
    EXPECT_EQ(problems, QStringList{QStringLiteral("O registro em %1 não pôde ser gravado (Not a "
                                                   "directory); as linhas seguem só na janela.")
                                        .arg(path)});
}

// A disk that does not keep up (here a pipe nobody reads yet): the UI
// thread never waits on it; past the queue's bound the copies are dropped
// and that is said once, and the lines queued before still arrive.
TEST_F(RecordFile, ADiskThatDoesNotKeepUpCostsCopiesNotTheWindow) {
    const QString fifo = dir.filePath(QStringLiteral("fila"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    StatusRecord::Options o;
    o.logFile = fifo;
    o.journal = false;
    std::string drained;
    std::thread reader;
    {
        StatusRecord record(o, said);
        for (std::size_t i = 0; i < StatusRecord::kMaxQueued + 10; ++i)
            record.keep(QStringLiteral("linha"), QStringLiteral("linha"));
        EXPECT_EQ(problems,
                  QStringList{QStringLiteral("O registro não acompanha as linhas e "
                                             "perdeu algumas; elas seguem só na janela.")});
        reader = std::thread([&] {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_CLOEXEC);
            char buffer[4096];
            ssize_t n;
            while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
                drained.append(buffer, static_cast<std::size_t>(n));
            if (fd >= 0)
                ::close(fd);
        });
        record.flush();
    }
    reader.join();
    const auto lines = std::count(drained.begin(), drained.end(), '\n');
    EXPECT_GE(lines, static_cast<long>(StatusRecord::kMaxQueued));
    EXPECT_LE(lines, static_cast<long>(StatusRecord::kMaxQueued) + 1);
}

TEST(StatusRecordFile, FollowsXdgStateHome) {
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/var/tmp/estado");
    EXPECT_EQ(StatusRecord::defaultLogFile(), QStringLiteral("/var/tmp/estado/quindra/espera.log"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(StatusRecord::defaultLogFile(),
              QDir::homePath() + QStringLiteral("/.local/state/quindra/espera.log"));
    if (!before.isEmpty())
        qputenv("XDG_STATE_HOME", before);
}

// The entries as they reach the journal's socket: a socket of the test's own
// at the journal's path, inside a private mount namespace.
TEST(StatusRecordJournal, EntriesCarryTheirFields) {
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                {QStringLiteral("-Urm"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/journal && "
                                "exec \"$0\" \"$@\""),
                 QStringLiteral(QUINDRA_JOURNAL_PROBE),
                 QStringLiteral("O Hardware da espera foi desconectado."),
                 QStringLiteral("Troca de arquivo de áudio efetuada com sucesso."),
                 QStringLiteral("Erro ao enviar e-mail.")});
    ASSERT_TRUE(probe.waitForFinished(20000));
    const QByteArray err = probe.readAllStandardError();
    if (probe.exitCode() != 0 && err.contains("unshare"))
        GTEST_SKIP() << "no private namespaces here: " << err.toStdString();
    ASSERT_EQ(probe.exitCode(), 0) << err.toStdString();

    // Each datagram: "FIELD=value" lines.
    QByteArray out = probe.readAllStandardOutput();
    std::vector<std::map<std::string, std::string>> entries;
    while (!out.isEmpty()) {
        const qsizetype nl = out.indexOf('\n');
        ASSERT_GT(nl, 0);
        const int size = out.left(nl).toInt();
        const QByteArray datagram = out.mid(nl + 1, size);
        out.remove(0, nl + 1 + size);
        std::map<std::string, std::string> fields;
        for (const QByteArray& line : datagram.split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                fields[line.left(eq).toStdString()] = line.mid(eq + 1).toStdString();
        }
        entries.push_back(fields);
    }
    ASSERT_EQ(entries.size(), 3u);
    const struct {
        const char* message;
        const char* priority;
        const char* event;
    } expected[] = {{"O Hardware da espera foi desconectado.", "4", "unplug"},
                    {"Troca de arquivo de áudio efetuada com sucesso.", "6", "swap"},
                    {"Erro ao enviar e-mail.", "3", "mail"}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i]["MESSAGE"], expected[i].message);
        EXPECT_EQ(entries[i]["PRIORITY"], expected[i].priority);
        EXPECT_EQ(entries[i]["SYSLOG_IDENTIFIER"], "espera");
        EXPECT_EQ(entries[i]["QUINDRA_EVENT"], expected[i].event);
        EXPECT_EQ(entries[i].count("CODE_FILE"), 0u);
    }
}

}  // namespace
