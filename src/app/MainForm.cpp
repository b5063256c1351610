#include "app/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
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

#include "app/AlertWindow.h"
#include "app/Artwork.h"
#include "app/AudioFileDialog.h"
#include "app/CaseLineEdit.h"
#include "app/HotKeyEdit.h"
#include "app/MessageBoxes.h"
#include "app/QtTrayIcon.h"
#include "app/StatusMemo.h"
#include "app/StatusPanelView.h"
#include "audio/views/MonitorView.h"

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

}  // namespace

TMainForm::TMainForm(ShellPorts ports, bool withTray)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TMainForm"));
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
    alert_ = std::make_unique<AlertWindow>();

    shell_ = std::make_unique<Shell>(std::move(ports), *this);

    for (auto it = fields_.cbegin(); it != fields_.cend(); ++it) {
        const Field f = it.key();
        connect(it.value(), &QLineEdit::textChanged, this,
                [this, f](const QString& text) { shell_->onFieldChanged(f, text); });
    }
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it) {
        const Box b = it.key();
        connect(it.value(), &QCheckBox::toggled, this,
                [this, b](bool on) { shell_->onBoxClicked(b, on); });
    }
    connect(hotKey_, &HotKeyEdit::changed, this,
            [this](quint16 key) { shell_->onHotKeyChanged(key); });
    shell_->FormCreate();

    // Centred on the desktop when first shown.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() {
    shell_->FormDestroy();
    shell_.reset();
}

QWidget* TMainForm::buildHeader() {
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
    for (auto [l, name] :
         {std::pair{Label::lbEmpresa, "lbEmpresa"}, std::pair{Label::lbContato, "lbContato"},
          std::pair{Label::lbTelefone, "lbTelefone"}}) {
        QLabel* lb = addLabel(l, QString::fromLatin1(name));
        QFont f = lb->font();
        f.setBold(true);
        lb->setFont(f);
        company->addWidget(lb);
    }
    row->addLayout(company, 1);

    auto* doc = new QToolButton(header);
    doc->setObjectName(QStringLiteral("SpeedButton4"));
    doc->setToolTip(QStringLiteral("Documentação On-line"));
    doc->setAccessibleName(doc->toolTip());
    doc->setIcon(DocumentIcon());
    doc->setIconSize(QSize(32, 32));
    row->addWidget(doc);

    auto* power = new QToolButton(header);
    power->setObjectName(QStringLiteral("SpeedButton3"));
    power->setToolTip(QStringLiteral("Desliga o Sistema"));
    power->setAccessibleName(power->toolTip());
    power->setIcon(PowerIcon());
    power->setIconSize(QSize(32, 32));
    connect(power, &QToolButton::clicked, this, [this] { shell_->SpeedButton3Click(); });
    row->addWidget(power);
    return header;
}

QWidget* TMainForm::buildMainPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Principal"));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(6, 6, 6, 6);

    auto* info = new ClickableGroupBox(QStringLiteral("Informações dos arquivos de áudio"), page);
    info->setObjectName(QStringLiteral("HeaderPanel1"));
    connect(info, &ClickableGroupBox::clicked, this,
            [this] { shell_->channel().showPlayerOnViews(); });
    // Each file name has a line of its own, so a long one is read in full;
    // the times of entry and exit go on the line below it.
    auto* grid = new QGridLayout(info);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(1);
    grid->setHorizontalSpacing(6);
    grid->addWidget(caption(QStringLiteral("Arquivo Atual:"), info), 0, 0);
    grid->addWidget(addLabel(Label::lbArquivo, QStringLiteral("lbArquivo")), 0, 1, 1, 5);
    grid->addWidget(caption(QStringLiteral("Entrada:"), info), 1, 0, Qt::AlignRight);
    grid->addWidget(addLabel(Label::lbDataHoraAtual, QStringLiteral("lbDataHoraAtual")), 1, 1);
    grid->addWidget(caption(QStringLiteral("Arquivo Anterior:"), info), 2, 0);
    grid->addWidget(addLabel(Label::lbArquivoAnterior, QStringLiteral("lbArquivoAnterior")), 2, 1,
                    1, 5);
    grid->addWidget(caption(QStringLiteral("Entrada:"), info), 3, 0, Qt::AlignRight);
    grid->addWidget(addLabel(Label::lbDataHoraAnterior, QStringLiteral("lbDataHoraAnterior")), 3,
                    1);
    grid->addWidget(caption(QStringLiteral("Saída:"), info), 3, 2, Qt::AlignRight);
    grid->addWidget(addLabel(Label::lbDataHoraAnteriroSai, QStringLiteral("lbDataHoraAnteriroSai")),
                    3, 3);
    grid->setColumnMinimumWidth(1, 150);
    grid->setColumnMinimumWidth(3, 150);
    grid->setColumnStretch(4, 1);
    for (Label l : {Label::lbArquivo, Label::lbArquivoAnterior, Label::lbDataHoraAtual,
                    Label::lbDataHoraAnterior, Label::lbDataHoraAnteriroSai}) {
        QFont f = labels_[l]->font();
        f.setBold(true);
        labels_[l]->setFont(f);
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
    spectrum_->setObjectName(QStringLiteral("Spectrum"));
    spectrum_->setAccessibleName(QStringLiteral("Espectro"));
    wave_ = new MonitorView(MonitorView::Kind::Waveform, monitor);
    wave_->setObjectName(QStringLiteral("Wave"));
    wave_->setAccessibleName(QStringLiteral("Forma de onda"));
    volume_ = new MonitorView(MonitorView::Kind::Level, monitor);
    volume_->setObjectName(QStringLiteral("Volume"));
    volume_->setAccessibleName(QStringLiteral("Nível"));
    views->addWidget(spectrum_, 2);
    views->addWidget(wave_, 2);
    views->addWidget(volume_);
    middle->addWidget(monitor, 1);
    col->addLayout(middle, 1);

    memo_ = new StatusMemo(page);
    col->addWidget(memo_, 0, Qt::AlignHCenter);
    return page;
}

QWidget* TMainForm::buildSettingsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Configuracoes"));
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 8, 8, 8);

    // Company data, shown in the header.
    auto* empresa = new QGroupBox(QStringLiteral("Dados da Empresa"), page);
    auto* ef = new QFormLayout(empresa);
    // Typed letters become capitals.
    ef->addRow(QStringLiteral("Linha 1"),
               addField(Field::edEmpresa, QStringLiteral("edEmpresa"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    ef->addRow(QStringLiteral("Linha 2"),
               addField(Field::edContato, QStringLiteral("edContato"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    ef->addRow(QStringLiteral("Linha 3"),
               addField(Field::edTelefone, QStringLiteral("edTelefone"),
                        new CaseLineEdit(CaseLineEdit::Case::Upper, empresa)));
    grid->addWidget(empresa, 0, 0);

    // The drop folder, chosen with a file dialog.
    auto* dir = new QGroupBox(QStringLiteral("Diretório do arquivo de Áudio"), page);
    auto* dl = new QVBoxLayout(dir);
    QLabel* pathCaption = caption(QStringLiteral("Selecione o Diretório"), dir);
    dl->addWidget(pathCaption);
    auto* browseRow = new QHBoxLayout;
    QLineEdit* path = addField(Field::edPathC1, QStringLiteral("edPathC1"));
    pathCaption->setBuddy(path);
    path->setReadOnly(true);
    const QString hint = QStringLiteral(
        "Clique no botão para selecionar um arquivo de áudio\n"
        "Os arquivos de áudio devem ter a seguinte configuração\n"
        "44100hz 16bit Mono\n"
        "Podendo ser utilizados nos formatos Wav e Mp3");
    path->setToolTip(hint);
    auto* browse = new QToolButton(dir);
    browse->setObjectName(QStringLiteral("edPathC1Button"));
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(hint);
    browse->setAccessibleName(
        QStringLiteral("Clique no botão para selecionar um arquivo de áudio"));
    connect(browse, &QToolButton::clicked, this, [this] { browseForDropFile(); });
    browseRow->addWidget(path, 1);
    browseRow->addWidget(browse);
    dl->addLayout(browseRow);
    grid->addWidget(dir, 1, 0);

    // Start-up options, and the way back from the hidden mode.
    auto* startRow = new QHBoxLayout;
    auto* start = new QGroupBox(QStringLiteral("Opções de Inicialização"), page);
    auto* sl = new QVBoxLayout(start);
    sl->addWidget(addBox(Box::cbIniciaWindows, QStringLiteral("cbIniciaWindows"),
                         QStringLiteral("Inicializa com o Windows")));
    sl->addWidget(addBox(Box::cbTipoInicio, QStringLiteral("cbTipoInicio"),
                         QStringLiteral("Inicializa Minimizado")));
    sl->addWidget(
        addBox(Box::cbHide, QStringLiteral("cbHide"), QStringLiteral("Inicializa Oculto")));
    startRow->addWidget(start, 1);
    auto* back = new QGroupBox(QStringLiteral("Retorno modo Oculto"), page);
    auto* bl = new QVBoxLayout(back);
    QLabel* hotKeyCaption = caption(QStringLiteral("Teclas de Atalho"), back);
    bl->addWidget(hotKeyCaption);
    hotKey_ = new HotKeyEdit(back);
    hotKeyCaption->setBuddy(hotKey_);
    hotKey_->setObjectName(QStringLiteral("HotKey1"));
    bl->addWidget(hotKey_);
    bl->addStretch();
    startRow->addWidget(back);
    grid->addLayout(startRow, 2, 0);

    // Mail settings and which notices are sent.
    auto* mail = new QGroupBox(QStringLiteral("Configurações de E-mail"), page);
    auto* mf = new QFormLayout(mail);
    // Typed letters become lower case.
    QLineEdit* sendTo = addField(Field::edSendTo, QStringLiteral("edSendTo"),
                                 new CaseLineEdit(CaseLineEdit::Case::Lower, mail));
    mf->addRow(QStringLiteral("Enviar para:"), sendTo);
    mf->addRow(QStringLiteral("Usuário SMTP"),
               addField(Field::edUserSMTP, QStringLiteral("edUserSMTP")));
    QLineEdit* password = addField(Field::edSenhaSMTP, QStringLiteral("edSenhaSMTP"));
    password->setEchoMode(QLineEdit::Password);
    password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    mf->addRow(QStringLiteral("Senha SMTP"), password);
    mf->addRow(QStringLiteral("Servidor SMTP"),
               addField(Field::edServerSMTP, QStringLiteral("edServerSMTP")));
    QLineEdit* port = addField(Field::edPortaSMTP, QStringLiteral("edPortaSMTP"));
    port->setMaximumWidth(80);
    mf->addRow(QStringLiteral("Porta"), port);
    auto* secureRow = new QHBoxLayout;
    secureRow->addWidget(addBox(Box::cbAutenticaSeguro, QStringLiteral("cbAutenticaSeguro"),
                                QStringLiteral("Autenticação Segura")));
    secureRow->addStretch();
    auto* test = new QPushButton(QStringLiteral("Teste"), mail);
    test->setObjectName(QStringLiteral("btTeste"));
    connect(test, &QPushButton::clicked, this, [this] { shell_->sendTestMail(); });
    secureRow->addWidget(test);
    mf->addRow(secureRow);
    grid->addWidget(mail, 0, 1, 2, 1);

    auto* notices = new QGroupBox(QStringLiteral("Opções de E-mail"), page);
    auto* nl = new QVBoxLayout(notices);
    nl->addWidget(addBox(Box::cbSendMail, QStringLiteral("cbSendMail"),
                         QStringLiteral("Habilitar envio de Email's")));
    nl->addWidget(addBox(Box::cbHardDesc, QStringLiteral("cbHardDesc"),
                         QStringLiteral("Mensagem de hardware desconectado")));
    nl->addWidget(addBox(Box::cbTrocaMsg, QStringLiteral("cbTrocaMsg"),
                         QStringLiteral("Mensagem de troca de gravação")));
    grid->addWidget(notices, 2, 1);

    // The groups spread over the page rather than leave its lower part empty.
    grid->setVerticalSpacing(18);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

void TMainForm::reveal() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TMainForm::bringForward() {
    if (!isVisible() || isMinimized())
        return;
    raise();
    activateWindow();
}

void TMainForm::conceal() {
    hide();
}

void TMainForm::browseForDropFile() {
    const auto dialog = MakeAudioFileDialog(this, fields_[Field::edPathC1]->text());
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    shell_->onDropFileChosen(dialog->selectedFiles().constFirst());
}

QLineEdit* TMainForm::addField(Field f, const QString& objectName, QLineEdit* edit) {
    auto* e = edit ? edit : new QLineEdit(this);
    e->setObjectName(objectName);
    fields_.insert(f, e);
    return e;
}

QCheckBox* TMainForm::addBox(Box b, const QString& objectName, const QString& text) {
    auto* c = new QCheckBox(text, this);
    c->setObjectName(objectName);
    boxes_.insert(b, c);
    return c;
}

QLabel* TMainForm::addLabel(Label l, const QString& objectName) {
    auto* lb = new FitLabel(this);
    lb->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lb->setObjectName(objectName);
    labels_.insert(l, lb);
    return lb;
}

void TMainForm::setFieldText(Field f, const QString& text) {
    // textChanged fires only on a real change, which runs the field's handler.
    // The case rules are for typing: text from the store is shown as stored.
    fields_[f]->setText(text);
}

QString TMainForm::fieldText(Field f) const {
    return fields_[f]->text();
}

void TMainForm::setChecked(Box b, bool on) {
    boxes_[b]->setChecked(on);
}

bool TMainForm::checked(Box b) const {
    return boxes_[b]->isChecked();
}

void TMainForm::setHotKey(ShortCut key) {
    hotKey_->setShortCut(key);
}

ShortCut TMainForm::hotKey() const {
    return hotKey_->shortCut();
}

void TMainForm::setLabel(Label l, const QString& text) {
    labels_[l]->setText(text);
}

QString TMainForm::label(Label l) const {
    return labels_[l]->text();
}

void TMainForm::setViewsSource(WaveControl* control) {
    volume_->setSource(control);
    spectrum_->setSource(control);
    wave_->setSource(control);
}

Alert& TMainForm::alert() {
    return *alert_;
}

LogView& TMainForm::logView() {
    return *memo_;
}

StatusView& TMainForm::statusView() {
    return *statusPanel_;
}

TrayIcon* TMainForm::tray() {
    return tray_;
}

void TMainForm::closeEvent(QCloseEvent* e) {
    if (shell_->FormCloseQuery()) {
        e->accept();
        QCoreApplication::quit();
    } else {
        e->ignore();
    }
}

void TMainForm::changeEvent(QEvent* e) {
    // The minimise box may send the window to the tray instead of the taskbar.
    if (shell_ && e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        shell_->modes().minimizeBoxPressed();
    QWidget::changeEvent(e);
}

}  // namespace quindra
