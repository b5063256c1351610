#include "window/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "audio/views/MonitorView.h"
#include "window/AlertWindow.h"
#include "window/Artwork.h"
#include "window/CaseLineEdit.h"
#include "window/HotKeyEdit.h"
#include "window/LineTexts.h"
#include "window/MessageBoxes.h"
#include "window/QtTrayIcon.h"
#include "window/StatusLogView.h"
#include "window/StatusPanelView.h"
#include "window/WindowCommands.h"

namespace quindra {

namespace {

constexpr int kWidth = 776;
constexpr int kHeight = 604;

// A value label that never widens its column and shows its whole text: a
// text longer than the room it has is drawn in a smaller type, down to
// three quarters of the label's own; only beyond that is it shortened in the
// middle, with the whole text as its tooltip.
class FitLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override { return {40, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect room = contentsRect();
        QFont f = font();
        const qreal base = f.pointSizeF();
        for (qreal size = base; size >= base * 0.75; size -= 0.5) {
            f.setPointSizeF(size);
            if (QFontMetrics(f).horizontalAdvance(text()) <= room.width())
                break;
        }
        const QFontMetrics fm(f);
        const QString shown = fm.elidedText(text(), Qt::ElideMiddle, room.width());
        setToolTip(shown == text() ? QString() : text());
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(room, static_cast<int>(alignment()), shown);
    }
};

QLabel* caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

// The alert where nothing is drawn: it keeps its text and never shows.
class UnseenAlert final : public Alert {
public:
    void setText(const QString& text) override { text_ = text; }
    QString text() const override { return text_; }
    void popUp() override {}

private:
    QString text_;
};

}  // namespace

MainWindow::MainWindow(bool withTray, Output output)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      output_(output) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kAppTitle);
    setFixedSize(kWidth, kHeight);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->addTab(buildMainPage(), QStringLiteral("Principal"));
    pages_->addTab(buildSettingsPage(), QStringLiteral("Configurações"));
    pages_->setCurrentIndex(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 6);
    body->addWidget(pages_);
    root->addLayout(body);

    // Made whether or not a notification area is there yet: Qt adds the icon
    // to one that comes up later.
    if (withTray)
        tray_ = new QtTrayIcon(this);
    if (output_ == Output::Screen)
        alert_ = std::make_unique<AlertWindow>();
    else
        unseenAlert_ = std::make_unique<UnseenAlert>();

    page_.dialogParent = this;
    presenter_ = new SettingsPresenter(page_, this);

    onAirIcon_ = ProgramIcon();
    offAirIcon_ = OffAirIcon(onAirIcon_);
    showLine(LineState{});

    // Centred on the desktop when first shown.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() = default;

void MainWindow::connectTo(WindowCommands& commands, SettingsTarget& settings,
                           ErrorHandler& errors) {
    commands_ = &commands;
    presenter_->connectTo(settings, errors);
}

void MainWindow::disconnectFrom() {
    commands_ = nullptr;
    presenter_->disconnectFrom();
}

QWidget* MainWindow::buildHeader() {
    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("header"));
    header->setFixedHeight(62);
    header->setStyleSheet(
        QStringLiteral("QFrame#header { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 #4b5563, stop:1 #2f3540); }"
                       "QFrame#header QLabel { color: white; }"
                       "QFrame#header QToolButton { border: none; }"
                       "QFrame#header QToolButton:hover { background: rgba(255,255,255,40); }"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 4, 8, 4);

    auto* product = new QLabel(QStringLiteral("Quindra"), header);
    QFont pf = product->font();
    pf.setPointSize(18);
    pf.setBold(true);
    product->setFont(pf);
    row->addWidget(product);
    row->addSpacing(24);

    auto* company = new QVBoxLayout;
    company->setSpacing(0);
    for (auto [l, name] : {std::pair{0, "companyLine1"}, std::pair{1, "companyLine2"},
                           std::pair{2, "companyLine3"}}) {
        QLabel* lb = addValueLabel(QString::fromLatin1(name));
        page_.companyLines[static_cast<std::size_t>(l)] = lb;
        QFont f = lb->font();
        f.setBold(true);
        lb->setFont(f);
        company->addWidget(lb);
    }
    row->addLayout(company, 1);

    auto* doc = new QToolButton(header);
    doc->setObjectName(QStringLiteral("documentationButton"));
    doc->setToolTip(QStringLiteral("Documentação On-line"));
    doc->setAccessibleName(doc->toolTip());
    doc->setIcon(DocumentIcon());
    doc->setIconSize(QSize(32, 32));
    connect(doc, &QToolButton::clicked, this, [this] {
        if (commands_)
            commands_->openManual();
    });
    row->addWidget(doc);

    auto* power = new QToolButton(header);
    power->setObjectName(QStringLiteral("powerButton"));
    power->setToolTip(QStringLiteral("Desliga o Sistema"));
    power->setAccessibleName(power->toolTip());
    power->setIcon(PowerIcon());
    power->setIconSize(QSize(32, 32));
    connect(power, &QToolButton::clicked, this, [this] {
        if (commands_)
            commands_->confirmShutdown();
    });
    row->addWidget(power);
    return header;
}

QWidget* MainWindow::buildMainPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("mainPage"));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(6, 6, 6, 6);

    lineBand_ = new QLabel(page);
    lineBand_->setObjectName(QStringLiteral("lineBand"));
    lineBand_->setAlignment(Qt::AlignCenter);
    lineBand_->setFixedHeight(28);
    QFont bf = lineBand_->font();
    bf.setBold(true);
    bf.setPointSizeF(bf.pointSizeF() * 1.2);
    lineBand_->setFont(bf);
    col->addWidget(lineBand_);

    auto* info = new ClickableGroupBox(QStringLiteral("Informações dos arquivos de áudio"), page);
    info->setObjectName(QStringLiteral("filePanel"));
    connect(info, &ClickableGroupBox::clicked, this, [this] {
        if (commands_)
            commands_->showPlayerOnViews();
    });
    // Each file name has a line of its own, so a long one is read in full;
    // the times of entry and exit go on the line below it.
    auto* grid = new QGridLayout(info);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(1);
    grid->setHorizontalSpacing(6);
    grid->addWidget(caption(QStringLiteral("Arquivo Atual:"), info), 0, 0);
    grid->addWidget(onAirFile_ = addValueLabel(QStringLiteral("onAirFile")), 0, 1, 1, 5);
    grid->addWidget(caption(QStringLiteral("Entrada:"), info), 1, 0, Qt::AlignRight);
    grid->addWidget(onAirSince_ = addValueLabel(QStringLiteral("onAirSince")), 1, 1);
    grid->addWidget(caption(QStringLiteral("Arquivo Anterior:"), info), 2, 0);
    grid->addWidget(previousFile_ = addValueLabel(QStringLiteral("previousFile")), 2, 1, 1, 5);
    grid->addWidget(caption(QStringLiteral("Entrada:"), info), 3, 0, Qt::AlignRight);
    grid->addWidget(previousSince_ = addValueLabel(QStringLiteral("previousSince")), 3, 1);
    grid->addWidget(caption(QStringLiteral("Saída:"), info), 3, 2, Qt::AlignRight);
    grid->addWidget(previousUntil_ = addValueLabel(QStringLiteral("previousUntil")), 3, 3);
    grid->setColumnMinimumWidth(1, 150);
    grid->setColumnMinimumWidth(3, 150);
    grid->setColumnStretch(4, 1);
    for (QLabel* l : {onAirFile_, previousFile_, onAirSince_, previousSince_, previousUntil_}) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    col->addWidget(info);

    auto* middle = new QHBoxLayout;
    statusPanel_ = new StatusPanelView(page);
    statusPanel_->setFixedWidth(300);
    middle->addWidget(statusPanel_);
    auto* monitor = new QGroupBox(QStringLiteral("Monitorando Hardware"), page);
    monitor->setObjectName(QStringLiteral("monitorPanel"));
    auto* views = new QHBoxLayout(monitor);
    spectrum_ = new MonitorView(MonitorView::Kind::Spectrum, monitor);
    spectrum_->setObjectName(QStringLiteral("spectrum"));
    spectrum_->setAccessibleName(QStringLiteral("Espectro"));
    wave_ = new MonitorView(MonitorView::Kind::Waveform, monitor);
    wave_->setObjectName(QStringLiteral("waveform"));
    wave_->setAccessibleName(QStringLiteral("Forma de onda"));
    level_ = new MonitorView(MonitorView::Kind::Level, monitor);
    level_->setObjectName(QStringLiteral("level"));
    level_->setAccessibleName(QStringLiteral("Nível"));
    views->addWidget(spectrum_, 2);
    views->addWidget(wave_, 2);
    views->addWidget(level_);
    middle->addWidget(monitor, 1);
    col->addLayout(middle, 1);

    memo_ = new StatusLogView(page);
    col->addWidget(memo_, 0, Qt::AlignHCenter);
    return page;
}

QWidget* MainWindow::buildSettingsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("settingsPage"));
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 8, 8, 8);

    // Company data, shown in the header.
    auto* empresa = new QGroupBox(QStringLiteral("Dados da Empresa"), page);
    auto* ef = new QFormLayout(empresa);
    // Typed letters become capitals.
    ef->addRow(QStringLiteral("Linha 1"),
               addField(Field::Company, QStringLiteral("company"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    ef->addRow(QStringLiteral("Linha 2"),
               addField(Field::Contact, QStringLiteral("contact"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    ef->addRow(QStringLiteral("Linha 3"),
               addField(Field::Phone, QStringLiteral("phone"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    grid->addWidget(empresa, 0, 0);

    // The drop folder, chosen with a file dialog.
    auto* dir = new QGroupBox(QStringLiteral("Diretório do arquivo de Áudio"), page);
    auto* dl = new QVBoxLayout(dir);
    QLabel* pathCaption = caption(QStringLiteral("Selecione o Diretório"), dir);
    dl->addWidget(pathCaption);
    auto* browseRow = new QHBoxLayout;
    QLineEdit* path = addField(Field::DropFolder, QStringLiteral("dropFolder"));
    pathCaption->setBuddy(path);
    path->setReadOnly(true);
    const QString hint = QStringLiteral(
        "Clique no botão para selecionar um arquivo de áudio\n"
        "Os arquivos de áudio devem ter a seguinte configuração\n"
        "44100hz 16bit Mono\n"
        "Podendo ser utilizados nos formatos Wav e Mp3");
    path->setToolTip(hint);
    auto* browse = new QToolButton(dir);
    browse->setObjectName(QStringLiteral("browseDropFolder"));
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(hint);
    browse->setAccessibleName(
        QStringLiteral("Clique no botão para selecionar um arquivo de áudio"));
    page_.browse = browse;
    browseRow->addWidget(path, 1);
    browseRow->addWidget(browse);
    dl->addLayout(browseRow);
    dl->addWidget(addBox(Box::LevelMessages, QStringLiteral("levelMessages"),
                         QStringLiteral("Tocar todas as mensagens no mesmo volume")));
    grid->addWidget(dir, 1, 0);

    // Start-up options, and the way back from the hidden mode.
    auto* startRow = new QHBoxLayout;
    auto* start = new QGroupBox(QStringLiteral("Opções de Inicialização"), page);
    auto* sl = new QVBoxLayout(start);
    sl->addWidget(addBox(Box::StartWithSession, QStringLiteral("startWithSession"),
                         QStringLiteral("Inicializa com o Windows")));
    sl->addWidget(addBox(Box::StartMinimized, QStringLiteral("startMinimized"),
                         QStringLiteral("Inicializa Minimizado")));
    sl->addWidget(addBox(Box::StartHidden, QStringLiteral("startHidden"),
                         QStringLiteral("Inicializa Oculto")));
    startRow->addWidget(start, 1);
    auto* back = new QGroupBox(QStringLiteral("Retorno modo Oculto"), page);
    auto* bl = new QVBoxLayout(back);
    QLabel* hotKeyCaption = caption(QStringLiteral("Teclas de Atalho"), back);
    bl->addWidget(hotKeyCaption);
    page_.hotKey = new HotKeyEdit(back);
    hotKeyCaption->setBuddy(page_.hotKey);
    page_.hotKey->setObjectName(QStringLiteral("hotKey"));
    bl->addWidget(page_.hotKey);
    bl->addStretch();
    startRow->addWidget(back);
    grid->addLayout(startRow, 2, 0);

    // Mail settings and which notices are sent.
    auto* mail = new QGroupBox(QStringLiteral("Configurações de E-mail"), page);
    auto* mf = new QFormLayout(mail);
    // Typed letters become lower case.
    QLineEdit* sendTo = addField(Field::Recipient, QStringLiteral("recipient"),
                                 new CaseLineEdit(CaseLineEdit::Case::Lower, mail));
    mf->addRow(QStringLiteral("Enviar para:"), sendTo);
    QLineEdit* sender = addField(Field::Sender, QStringLiteral("sender"),
                                 new CaseLineEdit(CaseLineEdit::Case::Lower, mail));
    sender->setPlaceholderText(QStringLiteral("o mesmo de \"Enviar para\""));
    mf->addRow(QStringLiteral("De:"), sender);
    mf->addRow(QStringLiteral("Usuário SMTP"),
               addField(Field::SmtpUser, QStringLiteral("smtpUser")));
    QLineEdit* password = addField(Field::SmtpPassword, QStringLiteral("smtpPassword"));
    password->setEchoMode(QLineEdit::Password);
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    mf->addRow(QStringLiteral("Senha SMTP"), password);
    mf->addRow(QStringLiteral("Servidor SMTP"),
               addField(Field::SmtpServer, QStringLiteral("smtpServer")));
    QLineEdit* port = addField(Field::SmtpPort, QStringLiteral("smtpPort"));
    port->setMaximumWidth(80);
    mf->addRow(QStringLiteral("Porta"), port);
    auto* secureRow = new QHBoxLayout;
    secureRow->addWidget(addBox(Box::SecureMail, QStringLiteral("secureMail"),
                                QStringLiteral("Autenticação Segura")));
    secureRow->addStretch();
    auto* test = new QPushButton(QStringLiteral("Teste"), mail);
    test->setObjectName(QStringLiteral("testMail"));
    page_.test = test;
    secureRow->addWidget(test);
    mf->addRow(secureRow);
    grid->addWidget(mail, 0, 1, 2, 1);

    auto* notices = new QGroupBox(QStringLiteral("Opções de E-mail"), page);
    auto* nl = new QVBoxLayout(notices);
    nl->addWidget(addBox(Box::MailEnabled, QStringLiteral("mailEnabled"),
                         QStringLiteral("Habilitar envio de Email's")));
    nl->addWidget(addBox(Box::MailOnHardware, QStringLiteral("mailOnHardware"),
                         QStringLiteral("Mensagem de hardware desconectado")));
    nl->addWidget(addBox(Box::MailOnSwap, QStringLiteral("mailOnSwap"),
                         QStringLiteral("Mensagem de troca de gravação")));
    grid->addWidget(notices, 2, 1);

    // For the company's monitoring: node_exporter's textfile collector reads
    // the hold line's figures from this file.
    auto* monitoring = new QGroupBox(QStringLiteral("Monitoramento"), page);
    auto* mon = new QFormLayout(monitoring);
    QLineEdit* metrics = addField(Field::MetricsFile, QStringLiteral("metricsFile"));
    metrics->setPlaceholderText(
        QStringLiteral("/var/lib/prometheus/node-exporter/quindra.prom (vazio: sem métricas)"));
    metrics->setToolTip(
        QStringLiteral("Arquivo .prom que o coletor textfile do node_exporter lê: no ar, hardware "
                       "presente, mensagem, trocas e falhas.\nVazio: nenhuma métrica é escrita."));
    mon->addRow(QStringLiteral("Arquivo de métricas (Prometheus)"), metrics);
    grid->addWidget(monitoring, 3, 0, 1, 2);

    // The groups spread over the page rather than leave its lower part empty.
    grid->setVerticalSpacing(18);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

void MainWindow::reveal() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::bringForward() {
    if (!isVisible() || isMinimized())
        return;
    raise();
    activateWindow();
}

void MainWindow::conceal() {
    hide();
}

QLineEdit* MainWindow::addField(Field f, const QString& objectName, QLineEdit* edit) {
    auto* e = edit ? edit : new QLineEdit(this);
    e->setObjectName(objectName);
    page_.fields.insert(f, e);
    return e;
}

QCheckBox* MainWindow::addBox(Box b, const QString& objectName, const QString& text) {
    auto* c = new QCheckBox(text, this);
    c->setObjectName(objectName);
    page_.boxes.insert(b, c);
    return c;
}

QLabel* MainWindow::addValueLabel(const QString& objectName) {
    auto* lb = new FitLabel(this);
    lb->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lb->setObjectName(objectName);
    return lb;
}

void MainWindow::showSettings(const PageSettings& page) {
    presenter_->show(page);
}

void MainWindow::showOnAir(const MessageOnAir& onAir) {
    onAirFile_->setText(QFileInfo(onAir.file).fileName());
    onAirSince_->setText(onAir.history.since);
    previousFile_->setText(onAir.history.previousFile);
    previousSince_->setText(onAir.history.previousSince);
    previousUntil_->setText(onAir.history.previousUntil);
}

// White on a dark green, red or amber: the colour tells the state at a
// glance and the text reads on each.
void MainWindow::showLine(const LineState& line) {
    const QString text = LineText(line);
    const QString background = line.onAir       ? QStringLiteral("#1e6f34")
                               : line.onPurpose ? QStringLiteral("#8a5300")
                                                : QStringLiteral("#b3261e");
    lineBand_->setText(text);
    lineBand_->setStyleSheet(
        QStringLiteral("QLabel#lineBand { color: white; background: %1; border-radius: 3px; }")
            .arg(background));
    lineBand_->setAccessibleName(text);
    lineBand_->setAccessibleDescription(LineToolTip(line));
    setWindowIcon(line.onAir ? onAirIcon_ : offAirIcon_);
    if (tray_)
        tray_->showLine(line.onAir, LineToolTip(line));
}

void MainWindow::setViewsSource(WaveControl* control) {
    if (output_ == Output::NoDisplay)
        control = nullptr;
    level_->setSource(control);
    spectrum_->setSource(control);
    wave_->setSource(control);
}

Alert& MainWindow::alert() {
    if (unseenAlert_)
        return *unseenAlert_;
    return *alert_;
}

void MainWindow::setVisible(bool visible) {
    if (visible && output_ == Output::NoDisplay)
        return;
    QWidget::setVisible(visible);
}

LogView& MainWindow::logView() {
    return *memo_;
}

StatusView& MainWindow::statusView() {
    return *statusPanel_;
}

TrayIcon* MainWindow::tray() {
    return tray_;
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (commands_)
        commands_->closeRequested();
    e->accept();
    QCoreApplication::quit();
}

void MainWindow::changeEvent(QEvent* e) {
    // The minimise box may send the window to the tray instead of the taskbar.
    if (commands_ && e->type() == QEvent::WindowStateChange &&
        (windowState() & Qt::WindowMinimized))
        commands_->minimizeBoxPressed();
    QWidget::changeEvent(e);
}

}  // namespace quindra
