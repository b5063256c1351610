#include "window/StatusRecord.h"

#define SD_JOURNAL_SUPPRESS_LOCATION
#include <fcntl.h>
#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace quindra {

namespace {

constexpr int kError = 3;
constexpr int kWarning = 4;
constexpr int kInfo = 6;

const char* const kJournalSocket = "/run/systemd/journal/socket";

// The messages by how they begin (or, for composed ones, what they hold);
// the first row that matches decides. More particular rows come first.
struct Row {
    enum class Match { Prefix, Contains } match;
    const char* text;
    LogEvent event;
};

const Row kRows[] = {
    // Mail.
    {Row::Match::Prefix, "Enviando e-mail", {"mail", kInfo}},
    {Row::Match::Prefix, "E-mail enviado com sucesso.", {"mail", kInfo}},
    {Row::Match::Prefix, "Erro ao enviar e-mail.", {"mail", kError}},
    {Row::Match::Prefix, "E-mail não enviado", {"mail", kWarning}},
    {Row::Match::Prefix, "Motivo: ", {"mail", kError}},
    {Row::Match::Prefix, "A senha SMTP", {"config", kInfo}},
    // The hardware.
    {Row::Match::Prefix, "Localizando Hardware da Vizudu", {"start", kInfo}},
    {Row::Match::Prefix, "O hardware da espera foi localizado.", {"plug", kInfo}},
    {Row::Match::Prefix, "O Hardware foi conectado.", {"plug", kInfo}},
    {Row::Match::Prefix, "Aguarde incializando o stream.", {"plug", kInfo}},
    {Row::Match::Prefix, "Aguarde inicializando stream.", {"plug", kInfo}},
    {Row::Match::Prefix, "O Hardware da espera foi desconectado.", {"unplug", kWarning}},
    {Row::Match::Prefix, "O Hardware da espera não foi localizado.", {"unplug", kWarning}},
    {Row::Match::Prefix, "Verifique se o cabo usb esta conectado.", {"unplug", kWarning}},
    {Row::Match::Prefix, "Erro ao desligar analize USB", {"unplug", kError}},
    // The sound on the line.
    {Row::Match::Prefix, "Stream inicializado com sucesso.", {"sound", kInfo}},
    {Row::Match::Prefix, "Erro no stream do canal 1", {"sound", kError}},
    {Row::Match::Prefix, "Erro ao iniciar stream do canal 1", {"sound", kError}},
    {Row::Match::Prefix, "Erro ao iniciar monitoração do Canal 1", {"sound", kError}},
    {Row::Match::Prefix, "A mensagem de espera voltou ao ar.", {"sound", kInfo}},
    {Row::Match::Prefix, "A mensagem de espera seguia fora do ar", {"sound", kWarning}},
    {Row::Match::Prefix, "Falhas no som da mensagem de espera", {"sound", kWarning}},
    {Row::Match::Prefix, "Sistema finalizado", {"stop", kInfo}},
    // The swap.
    {Row::Match::Prefix, "Efetuando troca de arquivo de áudio.", {"swap", kInfo}},
    {Row::Match::Prefix, "Troca de arquivo de áudio efetuada com sucesso.", {"swap", kInfo}},
    {Row::Match::Prefix, "Erro ao deletar arquivo antigo.", {"swap", kError}},
    {Row::Match::Prefix, "Erro ao deletar da pasta de reposição.", {"swap", kError}},
    {Row::Match::Prefix, "Erro ao reproduzir pela troca", {"swap", kError}},
    // The store and the hot-key.
    {Row::Match::Prefix, "O arquivo de configurações", {"config", kWarning}},
    {Row::Match::Prefix, "A tecla de atalho", {"config", kWarning}},
    {Row::Match::Prefix, "As métricas", {"config", kWarning}},
    // Whatever else says the line went silent.
    {Row::Match::Contains, "fora do ar", {"sound", kWarning}},
    {Row::Match::Contains, "saiu do ar", {"sound", kWarning}},
    {Row::Match::Prefix, "O servidor de som", {"sound", kWarning}},
    // The drop and message folders and the files in them.
    {Row::Match::Prefix, "A pasta de reposição", {"drop", kWarning}},
    {Row::Match::Prefix, "A pasta de mensagens", {"drop", kWarning}},
    {Row::Match::Prefix, "Nenhuma mensagem no ar", {"drop", kWarning}},
    {Row::Match::Prefix, "O arquivo ", {"drop", kInfo}},
    {Row::Match::Prefix, "O nome de um arquivo", {"drop", kInfo}},
    {Row::Match::Contains, "arquivos que não são mensagens", {"drop", kInfo}},
    {Row::Match::Prefix, "Erro", {"error", kError}},
};

// Makes each missing folder of path, the last ones of the program's own
// readable by its user only. Returns the failing errno, or 0.
int makeFolders(const QString& path) {
    const QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at;
    for (const QString& part : parts) {
        at += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(at);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

}  // namespace

LogEvent ClassifyLogMessage(const QString& message) {
    for (const Row& row : kRows) {
        const QString text = QString::fromUtf8(row.text);
        if (row.match == Row::Match::Prefix ? message.startsWith(text) : message.contains(text))
            return row.event;
    }
    return {"other", kInfo};
}

StatusRecord::StatusRecord(Options options, std::function<void(const QString&)> problem)
    : options_(std::move(options)), problem_(std::move(problem)), thread_([this] { run(); }) {}

StatusRecord::~StatusRecord() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

void StatusRecord::keep(const QString& message, const QString& line) noexcept {
    try {
        Entry e{message, line, ClassifyLogMessage(message)};
        bool overflowing = false;
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() < kMaxQueued) {
                queue_.push_back(std::move(e));
                wake_.notify_one();
            } else if (!overflowSaid_) {
                overflowSaid_ = overflowing = true;
            }
        }
        if (overflowing && problem_)
            problem_(
                QStringLiteral("O registro não acompanha as linhas e perdeu algumas; elas "
                               "seguem só na janela."));
    } catch (...) {
        // The window has the line; only its copy is lost.
    }
}

void StatusRecord::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !writing_; });
}

void StatusRecord::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            idle_.notify_all();
            return;
        }
        Entry e = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        lock.unlock();
        write(e);
        lock.lock();
        writing_ = false;
        if (queue_.size() < kMaxQueued / 2)
            overflowSaid_ = false;
        if (queue_.empty())
            idle_.notify_all();
    }
}

void StatusRecord::write(const Entry& e) {
    if (options_.journal)
        toJournal(e);
    if (!options_.logFile.isEmpty())
        toFile(e);
}

void StatusRecord::toJournal(const Entry& e) {
    const QByteArray message = e.message.toUtf8();
    const QByteArray identifier = options_.identifier.toUtf8();
    // A journal that does not take the entry loses only its copy.
    sd_journal_send("MESSAGE=%s", message.constData(), "PRIORITY=%d", e.event.priority,
                    "SYSLOG_IDENTIFIER=%s", identifier.constData(), "QUINDRA_EVENT=%s",
                    e.event.kind, nullptr);
}

void StatusRecord::toFile(const Entry& e) {
    // A line of its own making (the overflow) has no time stamp yet.
    const QByteArray data = (e.line.isEmpty() ? e.message : e.line).toUtf8() + '\n';
    if (fd_ >= 0 && size_ > 0 && size_ + data.size() > options_.rotateAtBytes)
        rotate();
    if (fd_ < 0 && !openFile())
        return;
    const ssize_t n = ::write(fd_, data.constData(), static_cast<size_t>(data.size()));
    if (n != data.size()) {
        say(n < 0 ? errno : ENOSPC);
        return;
    }
    size_ += n;
    fileProblemSaid_ = false;
}

bool StatusRecord::openFile() {
    const QFileInfo file(options_.logFile);
    int err = makeFolders(file.absolutePath());
    if (err == 0) {
        const QByteArray native = QFile::encodeName(options_.logFile);
        fd_ = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        err = fd_ < 0 ? errno : 0;
    }
    if (err != 0) {
        say(err);
        return false;
    }
    struct stat st {};
    size_ = ::fstat(fd_, &st) == 0 ? st.st_size : 0;
    return true;
}

void StatusRecord::rotate() {
    ::close(fd_);
    fd_ = -1;
    const auto name = [this](int n) {
        return QFile::encodeName(n == 0 ? options_.logFile
                                        : options_.logFile + QLatin1Char('.') + QString::number(n));
    };
    // espera.log.3 goes; each older one moves up; the current one is .1.
    for (int n = kKeptFiles - 1; n >= 0; --n)
        ::rename(name(n).constData(), name(n + 1).constData());
}

void StatusRecord::say(int err) {
    if (fileProblemSaid_)
        return;
    const QString text =
        QStringLiteral("O registro em %1 não pôde ser gravado (%2); as linhas seguem só na janela.")
            .arg(options_.logFile, QString::fromUtf8(strerrordesc_np(err)));
    fileProblemSaid_ = true;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (problem_)
        problem_(text);
}

QString StatusRecord::defaultLogFile() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state)) {
        const QString home = QDir::homePath();
        if (home.isEmpty() || home == QDir::rootPath())
            return {};
        state = home + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/quindra/espera.log");
}

bool StatusRecord::journalRuns() {
    struct stat st {};
    return ::stat(kJournalSocket, &st) == 0 && S_ISSOCK(st.st_mode);
}

bool StatusRecord::stdoutIsJournal() {
    // JOURNAL_STREAM is "device:inode" of the stream systemd gave us.
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat st {};
    if (stream.isEmpty() || ::fstat(STDOUT_FILENO, &st) != 0)
        return false;
    return stream == QByteArray::number(static_cast<qulonglong>(st.st_dev)) + ':' +
                         QByteArray::number(static_cast<qulonglong>(st.st_ino));
}

}  // namespace quindra
