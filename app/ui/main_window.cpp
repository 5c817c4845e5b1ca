#include "app/ui/main_window.h"
#include "app/ui/qt_text.h"

#include "app/ui/cancel_only_input.h"

#include "app/action_states.h"
#include "app/integer_text.h"
#include "app/protocol_variables.h"
#include "app/settings_location.h"
#include "app/ui/about_box.h"
#include "app/ui/address_dialog.h"
#include "app/ui/device_settings_dialog.h"
#include "app/ui/dump_model.h"
#include "app/ui/profile_order.h"
#include "app/ui/protocol_editor/protocol_editor.h"
#include "app/ui/search_dialog.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/version_panel.h"
#include "base/write_failure_text.h"
#include "exchange/device_options.h"
#include "exchange/exchange_errors.h"
#include "exchange/posix_serial_line.h"
#include "protocol/evaluator_setup.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <chrono>
#include <thread>

namespace app::ui {

namespace {

// While the serial line waits (up to the answer timeout, several times over with repeats) the window
// keeps painting and its timers run; the user's clicks and keys wait until the exchange has returned,
// so nothing can start a second exchange and "Отмена" takes effect between two pages.
void serveWindowEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void sleepServingWindow(std::chrono::milliseconds span) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + span;
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        serveWindowEvents();
        std::this_thread::sleep_for(
            std::min<Clock::duration>(end - Clock::now(), std::chrono::milliseconds(5)));
    }
}

constexpr int kWindowWidth = 565;
constexpr int kWatchPeriodMs = 1000;
// The next page starts as soon as the window has served its events.
constexpr int kPageTickMs = 0;
constexpr int kPagePaintMs = 50;
constexpr int kRowHeight = 16;
constexpr int kDumpFontPixels = 13;
constexpr int kLogHeight = 100;
constexpr int kMinDumpHeight = 100;

const QString kOpenFilter = QStringLiteral("Все файлы (*)"
                                           ";;Intel HEX файл (*.hex)"
                                           ";;Бинарный файл (*.bin)"
                                           ";;Q7R файл (*.q7r)"
                                           ";;Пакет программ (*.ppg)");
const QString kSaveFilter = QStringLiteral("Intel HEX file (*.hex);;Binary file (*)");

struct PanelKey {
    int bit;
    app::Setting setting;
    const char* action;
};
constexpr std::array<PanelKey, 6> kPanelKeys{{
    {kPanelDump, app::Setting::ShowDump, "ViewDumpPanel"},
    {kPanelProgramming, app::Setting::ShowProgPanel, "ViewProgrammingPanel"},
    {kPanelLog, app::Setting::ShowInfo, "ViewLogPanel"},
    {kPanelJump, app::Setting::ShowJump, "ViewJmpPanel"},
    {kPanelAddress, app::Setting::ShowRecipient, "ViewAddressPanel"},
    {kPanelProfile, app::Setting::ShowProfile, "ViewProfilePanel"},
}};

// The action names /E shows or hides, in the order of app::ShellAction.
constexpr std::array<const char*, static_cast<size_t>(app::ShellAction::Count)> kLetterActions{
    "FileOpen", "FileUpdate", "FileSave", "BufferClear", "DevOpts",    "DevRead",
    "DevWrite", "DevErase",   "DevReset", "DevFind",     "FileOptions"};

// Message texts mark line breaks with "\r".
QString messageText(std::string_view text) {
    QString s = qt(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}

int filterPosition(const QString& filters, const QString& chosen) {
    const QStringList list = filters.split(QStringLiteral(";;"));
    const qsizetype i = list.indexOf(chosen);
    return i < 0 ? 1 : static_cast<int>(i) + 1;
}

// Draws the dump cells itself: the text centred without the style's margins and elision, so that two
// hex digits fit a cell two digits wide. The byte editor takes two letters or digits forced to upper
// case; each change is handed to the model at once, as typing goes.
class DumpDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const bool selected = (o.state & QStyle::State_Selected) && (index.flags() & Qt::ItemIsSelectable);
        QBrush background = o.palette.base();
        if (selected)
            background = o.palette.highlight();
        else if (const QVariant b = index.data(Qt::BackgroundRole); b.isValid())
            background = b.value<QBrush>();
        painter->fillRect(o.rect, background);
        painter->setPen(selected ? o.palette.highlightedText().color() : o.palette.text().color());
        painter->setFont(o.font);
        painter->drawText(o.rect, static_cast<int>(o.displayAlignment), o.text);
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setInputMask(QStringLiteral(">NN"));
        edit->setAlignment(Qt::AlignCenter);
        edit->setFrame(false);
        connect(edit, &QLineEdit::textEdited, this,
                [this, edit] { emit const_cast<DumpDelegate*>(this)->commitData(edit); });
        return edit;
    }
};

// The port with a frame trace around it that writes nothing until a trace file is set.
std::unique_ptr<exchange::SerialLine> tracedPort(exchange::TracedLine*& traced) {
    auto line =
        std::make_unique<exchange::TracedLine>(std::make_unique<exchange::PosixSerialLine>(), nullptr);
    traced = line.get();
    return line;
}

} // namespace

MainWindow::MainWindow(const app::CommandLine& cmd, const std::filesystem::path& settingsPath,
                       app::MessageSink* messages, QWidget* parent)
    : QMainWindow(parent), m_store(settingsPath),
      m_device(tracedPort(m_traceLine), {m_store, m_state, m_image, m_log, *this, m_view}),
      m_evaluator(m_device.evaluator()), m_protocol(m_device.protocol()), m_comm(m_device.comm()),
      m_protocolLoader(m_protocol), m_messageOverride(messages) {
    setWindowTitle(qt(app::kAppTitle));
    m_log.attach(this);
    m_view.attach(this);
    m_log.setDeviceAddressSource([this] { return m_state.deviceAddress; });
    m_comm.setWaitHook([this] { return serveWaitEvents(); });
    m_device.context().sleep = sleepServingWindow;
    m_device.context().observer = m_traceLine;
    m_profiles = std::make_unique<app::Profiles>(m_store, m_state, *this, m_protocolLoader, *this, m_view,
                                                 app::programDirectory());
    m_files = std::make_unique<app::FileWorkflow>(m_image, m_store, m_state, m_log, *this, m_view, *this);
    m_device.host().onBringToFront = [this] {
        raise();
        activateWindow();
    };
    m_device.host().onRefreshImage = [this] { m_files->deviceReadPlaced(); };
    // A failed exchange ends the operation before its message shows, so the box never sits over a
    // running operation with its panel up and the actions locked.
    m_device.context().StopExchange = [this] {
        m_pageTimer->stop();
        m_comm.Close();
        m_progressPanel->hide();
        m_device.host().setBusy(false);
    };
    m_sequencer = std::make_unique<exchange::OperationSequencer>(m_device.host());
    m_searchDialog = new app::ui::SearchDialog(m_device.host(), m_store, this);
    m_deviceSettings = new app::ui::DeviceSettingsDialog(this);
    m_deviceSettings->onRefused = [this](const std::string& text) {
        m_device.host().showMessage(exchange::MessageKind::Error, "", text);
    };
    m_addressDialog = new AddressDialog(this);
    m_aboutBox = new AboutBox(this);
    m_searchDialog->onAddressChosen = [this](std::int32_t address) { deviceAddressChanged(address); };

    createActions();
    createMenus();
    createToolBars();
    createCentralArea();
    createStatusBar();
    m_watchTimer = new QTimer(this);
    m_watchTimer->setInterval(kWatchPeriodMs);
    connect(m_watchTimer, &QTimer::timeout, this, &MainWindow::watchTimer);
    m_pageTimer = new QTimer(this);
    m_pageTimer->setInterval(kPageTickMs);
    connect(m_pageTimer, &QTimer::timeout, this, &MainWindow::pageTick);

    startUp(cmd);

    // Created after the window itself, hidden until FileOptions opens it.
    m_settingsDialog = new SettingsDialog(m_store, *m_profiles, m_state, *this, m_view, *this, this);
    connect(m_settingsDialog, &SettingsDialog::settingsApplied, this, &MainWindow::fillProfileBox);
    connect(m_settingsDialog, &SettingsDialog::editProtocolRequested, this, &MainWindow::editProtocol);
}

MainWindow::~MainWindow() {
    m_view.attach(nullptr);
    m_log.attach(nullptr);
    m_comm.Close();
}

QAction* MainWindow::addAction(const char* name, const QString& caption, const QString& hint) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    // The hint shows as a tool tip, on the tool bar and in the menus; a status tip would replace the
    // three status panels while it shows.
    if (!hint.isEmpty())
        a->setToolTip(hint);
    m_actions[a->objectName()] = a;
    return a;
}

// The desktop's usual keys beside the menus' own letters; the menus show them.
void MainWindow::setStandardShortcuts() {
    action("FileOpen")->setShortcut(QKeySequence::Open);
    action("FileUpdate")->setShortcut(QKeySequence::Refresh);
    // One "save as" action: both of the usual save keys reach it.
    action("FileSave")->setShortcuts({QKeySequence(QKeySequence::Save), QKeySequence(QKeySequence::SaveAs)});
    action("FileQuit")->setShortcut(QKeySequence::Quit);
    action("BufferJmpAddress")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    action("DevFind")->setShortcut(QKeySequence::Find);
    action("HelpAbout")->setShortcut(QKeySequence::HelpContents);
}

QAction* MainWindow::action(const QString& name) const {
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::createActions() {
    QStyle* s = style();
    addAction("FileOpen", QStringLiteral("Отк&рыть"), QStringLiteral("Открыть файл"))
        ->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    addAction("FileUpdate", QStringLiteral("&Обновить"), QStringLiteral("Обновить содерж. буфера"))
        ->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
    addAction("FileSave", QStringLiteral("&Сохранить как..."), QStringLiteral("Сохранить как..."))
        ->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    addAction("BufferClear", QStringLiteral("О&чистить буфер"), QStringLiteral("Очистить буфер"))
        ->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
    addAction("DevOpts", QStringLiteral("О&пции устройства"))
        ->setIcon(s->standardIcon(QStyle::SP_FileDialogInfoView));
    addAction("DevRead", QStringLiteral("&Прочитать устройство"),
              QStringLiteral("Прочитать содержимое памяти устройства"))
        ->setIcon(s->standardIcon(QStyle::SP_ArrowUp));
    addAction("DevWrite", QStringLiteral("&Записать в устройство"),
              QStringLiteral("Записать в память устройства"))
        ->setIcon(s->standardIcon(QStyle::SP_ArrowDown));
    addAction("DevErase", QStringLiteral("Стереть устройство"), QStringLiteral("Стереть память устройства"))
        ->setIcon(s->standardIcon(QStyle::SP_DialogDiscardButton));
    addAction("FileOptions", QStringLiteral("&Настройки программы"))
        ->setIcon(s->standardIcon(QStyle::SP_FileDialogDetailedView));
    addAction("DevFind", QStringLiteral("Н&айти устройства"),
              QStringLiteral("Сканирует пространство адресов MODBUS на наличие отклика"))
        ->setIcon(s->standardIcon(QStyle::SP_FileDialogContentsView));
    addAction("DevReset", QStringLiteral("С&брос устройства"),
              QStringLiteral("Производит перезапуск устройства"))
        ->setIcon(s->standardIcon(QStyle::SP_BrowserStop));
    addAction("DevTrace", QStringLiteral("Журнал обмена"),
              QStringLiteral("Записывать в файл каждый кадр, отправленный устройству, и каждый ответ"))
        ->setCheckable(true);
    addAction("BufferEditEnable", QStringLiteral("Разрешить редактирование"))->setCheckable(true);
    addAction("BufferLoadAt", QStringLiteral("Загрузить по адресу .."));
    addAction("ViewProgrammingPanel", QStringLiteral("Панель программирования"));
    addAction("ViewDumpPanel", QStringLiteral("Панель дампа"));
    addAction("ViewLogPanel", QStringLiteral("Журнал"));
    addAction("ViewProfilePanel", QStringLiteral("Панель профиля"));
    addAction("ViewAddressPanel", QStringLiteral("Панель адреса"));
    addAction("ViewJmpPanel", QStringLiteral("Панель переходов"));
    addAction("BufferJmpBegining", QStringLiteral("Переход в начало образа"))
        ->setIcon(s->standardIcon(QStyle::SP_MediaSkipBackward));
    addAction("BufferJmpEnd", QStringLiteral("Переход в конец образа"))
        ->setIcon(s->standardIcon(QStyle::SP_MediaSkipForward));
    addAction("BufferJmpAddress", QStringLiteral("Переход по адресу..."))
        ->setIcon(s->standardIcon(QStyle::SP_ArrowRight));
    addAction("FileQuit", QStringLiteral("Выход"));
    addAction("HelpAbout", QStringLiteral("О программе"));
    setStandardShortcuts();

    for (const PanelKey& k : kPanelKeys) {
        QAction* a = action(QString::fromLatin1(k.action));
        a->setCheckable(true);
        const int bit = k.bit;
        connect(a, &QAction::toggled, this, [this, bit](bool on) { togglePanel(bit, on); });
    }

    connect(action("FileOpen"), &QAction::triggered, this, &MainWindow::fileOpen);
    connect(action("FileUpdate"), &QAction::triggered, this, [this] { m_files->reload(); });
    connect(action("FileSave"), &QAction::triggered, this, &MainWindow::fileSave);
    connect(action("BufferClear"), &QAction::triggered, this, [this] { m_files->clearBuffer(); });
    connect(action("BufferLoadAt"), &QAction::triggered, this, &MainWindow::bufferLoadAt);
    connect(action("BufferEditEnable"), &QAction::toggled, this, &MainWindow::setEditEnabled);
    connect(action("BufferJmpBegining"), &QAction::triggered, this, [this] { jumpTo(m_image.StartAddr); });
    connect(action("BufferJmpEnd"), &QAction::triggered, this, [this] { jumpTo(m_image.EndAddr - 16); });
    connect(action("BufferJmpAddress"), &QAction::triggered, this, &MainWindow::bufferJumpAddress);
    connect(action("FileQuit"), &QAction::triggered, this, &QWidget::close);
    connect(action("DevRead"), &QAction::triggered, this, &MainWindow::deviceRead);
    connect(action("DevWrite"), &QAction::triggered, this, &MainWindow::deviceWrite);
    connect(action("DevOpts"), &QAction::triggered, this, &MainWindow::deviceOptions);
    connect(action("DevTrace"), &QAction::toggled, this, &MainWindow::exchangeTrace);
    connect(action("FileOptions"), &QAction::triggered, this, &MainWindow::fileOptions);
    connect(action("DevFind"), &QAction::triggered, this, [this] {
        if (m_searchDialog->isVisible())
            m_searchDialog->raise();
        else
            m_searchDialog->startSearch();
    });
    connect(action("DevErase"), &QAction::triggered, this, [this] { m_sequencer->erase(); });
    connect(action("DevReset"), &QAction::triggered, this, [this] { m_sequencer->reset(); });
    connect(action("HelpAbout"), &QAction::triggered, this, [this] { m_aboutBox->exec(); });
}

void MainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    QAction* load = file->addAction(QStringLiteral("Заг&рузить"));
    connect(load, &QAction::triggered, action("FileOpen"), &QAction::trigger);
    connect(action("FileOpen"), &QAction::changed, load, [this, load] {
        load->setEnabled(action("FileOpen")->isEnabled());
        load->setVisible(action("FileOpen")->isVisible());
    });
    file->addAction(action("FileUpdate"));
    file->addAction(action("FileSave"));
    file->addSeparator();
    file->addAction(action("FileOptions"));
    file->addSeparator();
    file->addAction(action("FileQuit"));

    QMenu* buffer = menuBar()->addMenu(QStringLiteral("Буфер"));
    buffer->addAction(action("BufferClear"));
    buffer->addAction(action("BufferLoadAt"));
    buffer->addSeparator();
    buffer->addAction(action("BufferEditEnable"));
    buffer->addSeparator();
    buffer->addAction(action("BufferJmpBegining"));
    buffer->addAction(action("BufferJmpEnd"));
    buffer->addAction(action("BufferJmpAddress"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("Вид"));
    for (const char* name : {"ViewProgrammingPanel", "ViewDumpPanel", "ViewLogPanel", "ViewProfilePanel",
                             "ViewAddressPanel", "ViewJmpPanel"})
        view->addAction(action(QString::fromLatin1(name)));

    QMenu* device = menuBar()->addMenu(QStringLiteral("&Устройство"));
    device->addAction(action("DevWrite"));
    device->addAction(action("DevRead"));
    device->addAction(action("DevErase"));
    device->addAction(action("DevReset"));
    device->addSeparator();
    device->addAction(action("DevFind"));
    device->addAction(action("DevOpts"));
    device->addAction(action("DevTrace"));

    menuBar()->addMenu(QStringLiteral("Дополнительно"))->setEnabled(false);
    menuBar()->addMenu(QStringLiteral("Помощь"))->addAction(action("HelpAbout"));
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setToolTipsVisible(true);
}

void MainWindow::createToolBars() {
    m_programmingBar = addToolBar(QStringLiteral("Программирование"));
    m_programmingBar->setObjectName(QStringLiteral("ProgrammingBar"));
    m_recentMenu = new QMenu(this);
    m_openButton = new QToolButton(this);
    m_openButton->setDefaultAction(action("FileOpen"));
    m_openButton->setMenu(m_recentMenu);
    m_openButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_openButton->setObjectName(QStringLiteral("FileOpenButton"));
    m_openButtonAction = m_programmingBar->addWidget(m_openButton);
    for (const char* name : {"FileUpdate", "FileSave", "BufferClear", "|", "DevOpts", "DevRead", "DevWrite",
                             "DevErase", "DevReset", "|", "DevFind", "|", "FileOptions"}) {
        if (name[0] == '|')
            m_programmingBar->addSeparator();
        else
            m_programmingBar->addAction(action(QString::fromLatin1(name)));
    }
    addToolBarBreak();

    m_profileBar = addToolBar(QStringLiteral("Профиль"));
    m_profileBar->addWidget(new QLabel(QStringLiteral("Профиль "), this));
    m_profileBox = new QComboBox(this);
    m_profileBox->setObjectName(QStringLiteral("ProfileBox"));
    m_profileBox->setMinimumContentsLength(12);
    m_profileBar->addWidget(m_profileBox);
    connect(m_profileBox, &QComboBox::activated, this, [this](int index) {
        m_profiles->LoadProfile(m_profileBox->itemText(index).toStdString());
        RefreshView();
    });

    m_addressBar = addToolBar(QStringLiteral("Адрес"));
    m_addressBar->addWidget(new QLabel(QStringLiteral("Адрес "), this));
    m_addressField = new QLineEdit(QStringLiteral("0x11"), this);
    m_addressField->setObjectName(QStringLiteral("AddressField"));
    m_addressField->setMaxLength(6);
    m_addressField->setFixedWidth(m_addressField->fontMetrics().horizontalAdvance(QStringLiteral("0x0000")) +
                                  16);
    m_addressBar->addWidget(m_addressField);
    connect(m_addressField, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (const std::optional<std::int32_t> value = app::parseInteger(text.toStdString()))
            m_state.deviceAddress = *value;
        if (m_protocol.Commands.Count() > 0) {
            m_state.communicationDisabled = false;
            UpdateActionStates();
        }
    });

    m_jumpBar = addToolBar(QStringLiteral("Переходы"));
    m_jumpBar->addAction(action("BufferJmpBegining"));
    m_jumpBar->addAction(action("BufferJmpEnd"));
    m_jumpBar->addSeparator();
    m_jumpBar->addAction(action("BufferJmpAddress"));

    // The bars stay where they are: only the panel flags show or hide them.
    for (QToolBar* bar : {m_programmingBar, m_profileBar, m_addressBar, m_jumpBar}) {
        bar->setMovable(false);
        bar->setFloatable(false);
    }
}

QMenu* MainWindow::createPopupMenu() {
    // The right-click menu of the bars holds the "Вид" toggles, so it drives the same flags.
    auto* menu = new QMenu(this);
    for (const PanelKey& k : kPanelKeys)
        menu->addAction(action(QString::fromLatin1(k.action)));
    return menu;
}

void MainWindow::createCentralArea() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_versionPanel = new VersionPanel(central);
    connect(m_versionPanel, &VersionPanel::titleClicked, this, [this] {
        m_versionExpanded = !m_versionExpanded;
        m_store.writeInteger(app::Setting::ShowVerMaximized, m_versionExpanded ? 1 : 0);
        updateVersionPanel();
        ApplyPanelLayout();
    });
    layout->addWidget(m_versionPanel);

    m_dumpModel = new DumpModel(m_image, this);
    m_dumpView = new QTableView(central);
    m_dumpView->setModel(m_dumpModel);
    m_dumpView->setItemDelegate(new DumpDelegate(m_dumpView));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kDumpFontPixels);
    m_dumpView->setFont(fixed);
    m_dumpView->horizontalHeader()->setFont(fixed);
    m_dumpView->verticalHeader()->hide();
    m_dumpView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_dumpView->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_dumpView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_dumpView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                                QAbstractItemView::EditKeyPressed);
    applyDumpColumnWidths();
    connect(m_dumpModel, &DumpModel::byteEdited, this, [this](int) {
        m_image.Update();
        m_files->contentsEdited();
        m_writeBlocked = m_image.VersionPos >= 0 && m_image.Damaged();
        const app::ImageStatusTexts t = app::imageStatusTexts(
            m_image, m_store.readInteger(app::Setting::FlashStart, m_state.activeProfile),
            m_store.readInteger(app::Setting::FlashEnd, m_state.activeProfile), m_state.pageSize);
        m_status[0]->setText(qt(t.range));
        m_status[1]->setText(qt(t.size));
        if (t.crc)
            m_status[2]->setText(qt(*t.crc));
        updateVersionPanel();
        UpdateActionStates();
    });

    m_logList = new QListWidget(central);
    m_logList->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Скопировать"), m_logList);
    connect(copy, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(qt(m_log.copyText())); });
    auto* clear = new QAction(QStringLiteral("Очистить"), m_logList);
    connect(clear, &QAction::triggered, this, [this] { m_log.clear(); });
    m_logList->addAction(copy);
    m_logList->addAction(clear);

    m_splitter = new QSplitter(Qt::Vertical, central);
    m_splitter->addWidget(m_dumpView);
    m_splitter->addWidget(m_logList);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({400, kLogHeight});
    layout->addWidget(m_splitter, 1);
    setCentralWidget(central);

    // The progress panel floats over the middle of the window during a read or write.
    m_progressPanel = new QFrame(central);
    m_progressPanel->setFrameShape(QFrame::Panel);
    m_progressPanel->setFrameShadow(QFrame::Raised);
    m_progressPanel->setAutoFillBackground(true);
    auto* progressLayout = new QVBoxLayout(m_progressPanel);
    progressLayout->addWidget(new QLabel(qt(exchange::kCaptionProgress), m_progressPanel));
    m_progressBar = new QProgressBar(m_progressPanel);
    m_progressBar->setRange(0, 100);
    progressLayout->addWidget(m_progressBar);
    m_progressAddress = new QLabel(m_progressPanel);
    m_progressErrors = new QLabel(m_progressPanel);
    m_progressElapsed = new QLabel(m_progressPanel);
    m_progressAddress->setObjectName(QStringLiteral("ProgressAddress"));
    m_progressErrors->setObjectName(QStringLiteral("ProgressErrors"));
    m_progressElapsed->setObjectName(QStringLiteral("ProgressElapsed"));
    progressLayout->addWidget(m_progressAddress);
    progressLayout->addWidget(m_progressErrors);
    progressLayout->addWidget(m_progressElapsed);
    auto* cancel = new QPushButton(qt(exchange::kCaptionCancel), m_progressPanel);
    cancel->setObjectName(QStringLiteral("ProgressCancel"));
    m_cancelButton = cancel;
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_sequencer->cancel();
        if (!m_sequencer->paging()) // else the page tick under way ends the write
            writeEnded();
    });
    progressLayout->addWidget(cancel, 0, Qt::AlignHCenter);
    // "Отмена" has the focus while the panel shows: Esc, Enter and Space cancel, as in a dialog.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        connect(new QShortcut(key, m_progressPanel, nullptr, nullptr, Qt::WidgetWithChildrenShortcut),
                &QShortcut::activated, cancel, &QPushButton::click);
    m_progressCancel = cancel;
    m_progressPanel->hide();

    m_errorLogWindow = new QWidget(this, Qt::Window);
    m_errorLogWindow->setWindowTitle(QStringLiteral("Error log"));
    m_errorLogWindow->resize(208, 522);
    auto* errLayout = new QVBoxLayout(m_errorLogWindow);
    auto* errBar = new QToolBar(m_errorLogWindow);
    errBar->addAction(QStringLiteral("Очистить"), this, [this] { m_log.clearErrorLog(); });
    m_errorLogText = new QPlainTextEdit(m_errorLogWindow);
    m_errorLogText->setObjectName(QStringLiteral("ErrorLogText"));
    m_errorLogText->setReadOnly(true);
    errLayout->addWidget(errBar);
    errLayout->addWidget(m_errorLogText);
}

void MainWindow::createStatusBar() {
    // The three panels share the fixed window width; a slightly smaller font keeps the longest texts
    // (a 32-bit CRC included) unclipped.
    QFont small = statusBar()->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    statusBar()->setFont(small);
    for (int i = 0; i < 3; ++i) {
        m_status[i] = new QLabel(this);
        m_status[i]->setFont(small);
        statusBar()->addWidget(m_status[i], i == 2 ? 1 : 0);
    }
}

void MainWindow::startUp(const app::CommandLine& cmd) {
    // Steps of the window's creation, in order.
    m_state.startedWithArguments = cmd.startedWithArguments();
    resize(kWindowWidth, m_store.readInteger(app::Setting::WindowHeight));
    setFixedWidth(kWindowWidth);
    m_image.SetAutoCRC(true);
    m_protocol.Commands.setEvaluator(&m_evaluator);

    m_profiles->LoadProfile(m_store.readString(app::Setting::ActiveProfile));
    m_versionExpanded = m_store.readInteger(app::Setting::ShowVerMaximized) == 1;

    std::string fileToOpen;
    if (!m_state.startedWithArguments)
        fileToOpen = m_store.readString(app::Setting::LastFile);
    else if (const std::optional<std::string> f = cmd.file())
        fileToOpen = *f;
    if (fileToOpen.empty())
        RefreshView();

    {
        const bool allowEdit = m_store.readBool(app::Setting::AllowEdit);
        const QSignalBlocker block(action("BufferEditEnable"));
        action("BufferEditEnable")->setChecked(allowEdit);
        m_dumpModel->setEditable(allowEdit);
    }

    std::string warning;
    m_state.deviceAddress = app::startupDeviceAddress(
        cmd, m_store.readInteger(app::Setting::DevAddress, m_state.activeProfile), warning);
    if (!warning.empty())
        m_log.AddLogLine(warning);
    setDeviceAddressField(m_state.deviceAddress);

    loadPanelFlags();
    ApplyPanelLayout();
    applyActionLetters(cmd.actionLetters());

    action("BufferJmpBegining")->setEnabled(false);
    m_image.Clear();
    bool loaded = false;
    std::error_code ec;
    if (!fileToOpen.empty() && std::filesystem::exists(fileToOpen, ec))
        loaded = m_files->LoadFile(image::kFileTypeDetect, -1, fileToOpen, false);
    if (!loaded) {
        m_store.writeString(app::Setting::LastFile, "");
        m_files->forgetCurrentFile();
        RefreshView();
    }
    recentFilesChanged();

    protocol::declareProtocolVariables(m_evaluator);
    for (const char* name : {"APP_AREA", "RECIPIENT", "SYS_AREA", "ID", "APP_HWID"})
        m_evaluator.SetVariableQuiet(name, 0);
    m_device.setProtocolVariables();
    fillProfileBox();
    UpdateActionStates();
}

void MainWindow::applyActionLetters(const std::optional<std::string>& letters) {
    if (!letters)
        return;
    for (size_t i = 0; i < kLetterActions.size(); ++i)
        action(QString::fromLatin1(kLetterActions[i]))
            ->setVisible(app::actionVisible(static_cast<app::ShellAction>(i), letters));
    m_openButtonAction->setVisible(action("FileOpen")->isVisible());
    // A separator directly after another visible separator (or at the start) is hidden, until nothing
    // changes.
    bool changed = true;
    while (changed) {
        changed = false;
        bool lastWasSeparator = true;
        for (QAction* a : m_programmingBar->actions()) {
            if (!a->isVisible())
                continue;
            if (a->isSeparator()) {
                if (lastWasSeparator) {
                    a->setVisible(false);
                    changed = true;
                    continue;
                }
                lastWasSeparator = true;
            } else {
                lastWasSeparator = false;
            }
        }
    }
}

void MainWindow::loadPanelFlags() {
    m_panelFlags = 0;
    for (const PanelKey& k : kPanelKeys)
        if (m_store.readBool(k.setting))
            m_panelFlags |= k.bit;
}

void MainWindow::savePanelFlags() {
    if (m_state.startedWithArguments)
        return;
    for (const PanelKey& k : kPanelKeys)
        m_store.writeBool(k.setting, (m_panelFlags & k.bit) != 0);
}

void MainWindow::togglePanel(int bit, bool on) {
    const int flags = on ? (m_panelFlags | bit) : (m_panelFlags & ~bit);
    if (flags == m_panelFlags)
        return;
    m_panelFlags = flags;
    savePanelFlags();
    ApplyPanelLayout();
}

void MainWindow::ApplyPanelLayout() {
    for (const PanelKey& k : kPanelKeys) {
        QAction* a = action(QString::fromLatin1(k.action));
        const QSignalBlocker block(a);
        a->setChecked((m_panelFlags & k.bit) != 0);
    }
    m_programmingBar->setVisible(m_panelFlags & kPanelProgramming);
    m_jumpBar->setVisible(m_panelFlags & kPanelJump);
    m_profileBar->setVisible(m_panelFlags & kPanelProfile);
    m_addressBar->setVisible(m_panelFlags & kPanelAddress);
    const bool dump = m_panelFlags & kPanelDump;
    const bool logShown = m_panelFlags & kPanelLog;
    // The heights are set only when the dump or log flag changed, so a load (which lays the panels out
    // again) never undoes the user's own resizing.
    const int areaFlags = m_panelFlags & (kPanelDump | kPanelLog);
    const bool areaChanged = areaFlags != m_appliedAreaFlags;
    m_appliedAreaFlags = areaFlags;
    m_dumpView->setVisible(dump);
    m_logList->setVisible(logShown);
    if (!dump && !logShown) {
        // Only the bars remain: the window shrinks to them and cannot be stretched.
        m_splitter->hide();
        setFixedHeight(barsHeight());
        return;
    }
    m_splitter->show();
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    if (!areaChanged)
        return;
    if (!dump) {
        resize(width(), barsHeight() + kLogHeight);
        return;
    }
    m_splitter->setSizes({qMax(height() - barsHeight() - kLogHeight, 0), logShown ? kLogHeight : 0});
    // Coming back from a window that was only bars (or a small one), the dump gets room again.
    const int dumpHeight = height() - barsHeight() - (logShown ? kLogHeight : 0);
    if (dumpHeight < kMinDumpHeight)
        resize(width(), height() + kMinDumpHeight);
}

int MainWindow::barsHeight() {
    // The window's height without the dump and the log: menu, bars, version panel and status bar.
    const bool shown = m_splitter->isVisibleTo(this);
    m_splitter->hide();
    centralWidget()->layout()->invalidate();
    layout()->invalidate();
    const int height = sizeHint().height();
    m_splitter->setVisible(shown);
    return height;
}

void MainWindow::fillProfileBox() {
    const app::ProfileListFill fill = m_profiles->FillProfileList();
    const QSignalBlocker block(m_profileBox);
    m_profileBox->clear();
    m_profileBox->addItems(profileNamesInReadingOrder(fill.names));
    if (fill.selected >= 0 && fill.selected < static_cast<int>(fill.names.size()))
        m_profileBox->setCurrentIndex(
            m_profileBox->findText(qt(fill.names[static_cast<size_t>(fill.selected)])));
}

void MainWindow::setDeviceAddressField(std::int32_t address) {
    const QSignalBlocker block(m_addressField);
    m_addressField->setText(qt(app::formatDeviceAddress(address)));
}

void MainWindow::applyDumpColumnWidths() {
    const QFontMetrics fm(m_dumpView->font());
    m_dumpView->horizontalHeader()->setMinimumSectionSize(4);
    // The window is fixed at 565 pixels with a vertical scroll bar beside the grid, so the address and
    // spacer columns are kept tight and the text column takes what is left.
    m_dumpView->setColumnWidth(DumpModel::kAddressColumn,
                               fm.horizontalAdvance(QStringLiteral("00000000")) + 6);
    for (int c = DumpModel::kFirstByteColumn; c < DumpModel::kSpacerColumn; ++c)
        m_dumpView->setColumnWidth(c, fm.horizontalAdvance(QStringLiteral("00")) + 4);
    m_dumpView->setColumnWidth(DumpModel::kSpacerColumn, 6);
    m_dumpView->horizontalHeader()->setStretchLastSection(true);
    m_dumpView->setColumnWidth(DumpModel::kTextColumn,
                               fm.horizontalAdvance(QStringLiteral("0000000000000000")) + 2);
}

void MainWindow::RefreshView() {
    const std::int32_t flashStart = m_store.readInteger(app::Setting::FlashStart, m_state.activeProfile);
    const std::int32_t flashEnd = m_store.readInteger(app::Setting::FlashEnd, m_state.activeProfile);
    if (m_store.readBool(app::Setting::MemoryWindow))
        m_dumpModel->setRows(flashStart / 16, flashEnd / 16);
    else
        m_dumpModel->setRows(0, 4095);
    // A model reset forgets the section sizes.
    applyDumpColumnWidths();
    const app::ImageStatusTexts t = app::imageStatusTexts(m_image, flashStart, flashEnd, m_state.pageSize);
    m_status[0]->setText(qt(t.range));
    m_status[1]->setText(qt(t.size));
    if (t.crc)
        m_status[2]->setText(qt(*t.crc));
    updateVersionPanel();
    action("BufferJmpBegining")->setEnabled(true);
}

void MainWindow::updateVersionPanel() {
    if (m_image.VersionPos >= 0) {
        m_writeBlocked = m_image.Damaged();
        m_evaluator.SetVariableQuiet("APP_HWID", m_image.Version.HWID());
    } else {
        m_writeBlocked = false;
        m_evaluator.SetVariableQuiet("APP_HWID", 0);
    }
    m_versionPanel->showImage(m_image, m_versionExpanded);
}

void MainWindow::UpdateActionStates() {
    std::error_code ec;
    const std::string& file = m_files->currentFile();
    app::ActionStateInput in;
    in.busy = busy();
    in.communicationDisabled = m_state.communicationDisabled;
    in.writeBlocked = m_writeBlocked;
    in.currentFileExists = m_files->reloadEnabled() && !file.empty() && std::filesystem::exists(file, ec);
    in.protocol = &m_protocol;
    const app::ActionStates s = app::computeActionStates(in);
    m_profileBox->setEnabled(s.profileBox);
    m_addressField->setEnabled(s.addressField);
    action("FileOptions")->setEnabled(s.fileOptions);
    action("FileOpen")->setEnabled(s.fileOpen);
    action("BufferClear")->setEnabled(s.bufferClear);
    action("BufferLoadAt")->setEnabled(s.bufferLoadAt);
    m_dumpModel->setLocked(!s.bufferLoadAt);
    action("FileSave")->setEnabled(s.fileSave);
    action("FileUpdate")->setEnabled(s.fileUpdate);
    action("DevOpts")->setEnabled(s.devOpts);
    action("DevRead")->setEnabled(s.devRead);
    action("DevWrite")->setEnabled(s.devWrite);
    action("DevErase")->setEnabled(s.devErase);
    action("DevFind")->setEnabled(s.devFind);
    action("DevReset")->setEnabled(s.devReset);
}

bool MainWindow::busy() const {
    return m_device.host().busy();
}

void MainWindow::deviceRead() {
    if (!m_files->mayReplaceContents())
        return;
    const bool started = m_sequencer->startRead();
    if (m_sequencer->outcome() != exchange::OperationSequencer::Outcome::Refused)
        m_files->deviceReadStarted();
    startPaging(started);
}

void MainWindow::startPaging(bool started) {
    m_device.context().address = m_sequencer->address();
    updateProgressPanel();
    if (started)
        m_pageTimer->start();
}

void MainWindow::deviceWrite() {
    // The checkpoint describes what the write sends: the image within the FLASH window.
    const exchange::FlashWindow window = m_device.host().flashWindow();
    m_device.host().narrowImage(window.start, window.end);
    if (m_image.StartAddr >= 0) {
        m_write = std::make_unique<app::ResumableWrite>(m_device);
        m_write->startAfresh();
    }
    runWrite();
}

void MainWindow::runWrite() {
    m_checkpointFailed = false;
    startPaging(m_sequencer->startWrite());
    if (!m_sequencer->paging())
        writeEnded();
}

void MainWindow::writeEnded() {
    if (!m_write)
        return;
    const std::unique_ptr<app::ResumableWrite> write = std::move(m_write);
    write->finish(m_sequencer->outcome() == exchange::OperationSequencer::Outcome::Completed);
    m_view.RefreshView(); // a resume gives the image back the pages it left out
    if (m_sequencer->outcome() == exchange::OperationSequencer::Outcome::Failed &&
        write->checkpoint().lastPage >= 0)
        offerResume(*write);
}

namespace {

std::string refusalText(app::ResumeRefusal refusal, const app::WriteCheckpoint& checkpoint) {
    switch (refusal) {
    case app::ResumeRefusal::NoCheckpoint:
        return "контрольная точка записи не сохранилась";
    case app::ResumeRefusal::OtherImage:
        return "контрольная точка записи сделана для другого образа";
    case app::ResumeRefusal::OtherProfile:
        return "контрольная точка записи сделана с профилем \"" + checkpoint.profile + "\"";
    }
    return {};
}

} // namespace

void MainWindow::offerResume(const app::ResumableWrite& failed) {
    char question[64];
    std::snprintf(question, sizeof question, "Продолжить запись с адреса 0x%08X?",
                  static_cast<unsigned>(failed.nextAddress()));
    if (!showMessage("", question, app::MessageKind::Question))
        return;
    const exchange::FlashWindow window = m_device.host().flashWindow();
    m_device.host().narrowImage(window.start, window.end);
    m_write = std::make_unique<app::ResumableWrite>(m_device);
    if (const auto refusal = m_write->resume()) {
        showError("", "Не могу продолжить запись: " + refusalText(*refusal, m_write->checkpoint()));
        m_write.reset();
        return;
    }
    runWrite();
}

void MainWindow::deviceOptions() {
    exchange::DeviceOptions options(m_device.host());
    if (!options.readRecord())
        return;
    m_deviceSettings->setRecord(options.record());
    // A failed write offers the dialog again with the values as the user left them.
    while (true) {
        if (m_deviceSettings->exec() != QDialog::Accepted) {
            options.finish();
            return;
        }
        if (options.writeRecord(m_deviceSettings->record()) != exchange::DeviceOptions::WriteResult::Retry)
            return;
    }
}

void MainWindow::exchangeTrace(bool on) {
    m_traceLine->setTrace(nullptr);
    if (!on)
        return;
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Журнал обмена"), QString(),
                                     QStringLiteral("Журнал обмена (*.trace);;Все файлы (*)"));
    auto file = std::make_unique<exchange::FrameTraceFile>();
    std::string reason;
    if (path.isEmpty() || !file->open(path.toStdString(), reason)) {
        if (!path.isEmpty())
            showError("", "Не могу создать файл журнала обмена: " + path.toStdString() + " (" + reason + ")");
        // Unchecked without coming back here: nothing is traced.
        const QSignalBlocker quiet(action("DevTrace"));
        action("DevTrace")->setChecked(false);
        return;
    }
    m_traceLine->setTrace(std::move(file));
}

void MainWindow::fileOptions() {
    m_settingsDialog->execute();
}

void MainWindow::editProtocol(const QString& path) {
    // The editor works on its own copy; the running description changes only when the settings are
    // applied and the profile loads the saved file again.
    app::ui::editor::ProtocolEditor::editFile(path, *this, m_settingsDialog);
}

bool MainWindow::serveWaitEvents() {
    // Without the progress panel (erase, the search, device options) input waits until the exchange
    // returns.
    if (!m_sequencer || !m_sequencer->panelVisible()) {
        serveWindowEvents();
        return false;
    }
    // During one only "Отмена" is let through; its click ends the wait for the answer at once.
    CancelOnlyInput onlyCancel(m_cancelButton);
    QCoreApplication::processEvents();
    return m_sequencer->cancelPending();
}

void MainWindow::pageTick() {
    const int32_t page = m_sequencer->page();
    const uint32_t address = m_sequencer->address();
    m_sequencer->tick();
    base::WriteResult saved;
    if (m_write && m_sequencer->page() != page)
        saved = m_write->pageDone(page, address);
    if (!saved.ok() && !m_checkpointFailed) {
        m_checkpointFailed = true;
        m_log.AddLogLine("Контрольная точка записи не сохранена: " + base::writeFailureText(saved));
    }
    m_device.context().address = m_sequencer->address();
    const bool ended = !m_sequencer->paging();
    if (ended)
        m_pageTimer->stop();
    // The pages read so far show as they arrive, but drawing the dump takes longer than a page at high
    // speeds: while pages arrive they are drawn at most every kPagePaintMs, and the last one always.
    if (!ended && m_pagePainted.isValid() && m_pagePainted.elapsed() < kPagePaintMs)
        return;
    m_pagePainted.start();
    m_dumpView->viewport()->update();
    updateProgressPanel();
    if (ended)
        writeEnded();
}

void MainWindow::updateProgressPanel() {
    if (!m_sequencer->panelVisible()) {
        m_progressPanel->hide();
        return;
    }
    m_progressBar->setValue(m_sequencer->progress());
    m_progressAddress->setText(qt(exchange::kCaptionAddress) + QLatin1Char(' ') +
                               qt(m_sequencer->addressText()));
    m_progressErrors->setText(qt(exchange::kCaptionCommErrors) + QLatin1Char(' ') +
                              qt(m_sequencer->commErrorsText()));
    m_progressElapsed->setText(qt(exchange::kCaptionElapsed) + QLatin1Char(' ') +
                               qt(m_sequencer->elapsedText()));
    const QSize size(300, m_progressPanel->sizeHint().height());
    m_progressPanel->setGeometry(QRect(QPoint((centralWidget()->width() - size.width()) / 2,
                                              (centralWidget()->height() - size.height()) / 2),
                                       size));
    const bool appearing = m_progressPanel->isHidden();
    m_progressPanel->show();
    m_progressPanel->raise();
    if (appearing)
        m_progressCancel->setFocus();
}

void MainWindow::jumpTo(int address) {
    const int row = m_dumpModel->rowOf(address);
    if (row < 0)
        return;
    m_dumpView->scrollTo(m_dumpModel->index(row, 0), QAbstractItemView::PositionAtTop);
}

QString MainWindow::statusText(int panel) const {
    return panel >= 0 && panel < 3 ? m_status[panel]->text() : QString();
}

void MainWindow::setImageCrcParams(const base::CrcParameters& p) {
    m_image.SetCRCParams(p.width, p.polynom, p.xorValue, p.tableSwap, p.reflected, p.initial);
}

void MainWindow::deviceAddressChanged(std::int32_t address) {
    m_state.deviceAddress = address;
    setDeviceAddressField(address);
}

void MainWindow::setFileWatch(bool enabled) {
    if (enabled)
        m_watchTimer->start();
    else
        m_watchTimer->stop();
}

std::string MainWindow::currentFileName() const {
    return m_files->currentFile();
}

bool MainWindow::reloadCurrentFile() {
    return m_files->reloadForProfileSwitch();
}

void MainWindow::forgetCurrentFile() {
    m_files->forgetCurrentFile();
}

void MainWindow::setCaption(const std::string& caption) {
    setWindowTitle(qt(caption));
}

void MainWindow::showError(std::string_view title, std::string_view text) {
    m_device.link().error(title, text);
}

std::vector<std::string> MainWindow::profileNames() const {
    return m_profiles->profileList();
}

void MainWindow::applyProfileForFile(const std::string& name) {
    if (!m_profiles->mayApplyProfileForLoadedFile(name))
        return;
    m_profiles->LoadProfile(name);
    fillProfileBox();
    RefreshView();
}

void MainWindow::recentFilesChanged() {
    m_recentMenu->clear();
    for (const std::string& name : app::recentFiles(m_store)) {
        QAction* item = m_recentMenu->addAction(qt(name));
        connect(item, &QAction::triggered, this, [this, name] { m_files->openRecentFile(name); });
    }
}

void MainWindow::hardwareIdCleared() {
    m_evaluator.SetVariableQuiet("APP_HWID", 0);
}

void MainWindow::lineAdded(const std::string& line) {
    m_logList->addItem(qt(line));
    m_logList->setCurrentRow(m_logList->count() - 1);
    m_logList->scrollToBottom();
}

void MainWindow::logCleared() {
    m_logList->clear();
}

void MainWindow::errorLogAdded(const std::string& block) {
    // Appending keeps a noisy bus linear and the newest block in view.
    QString text = qt(block);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    m_errorLogText->appendPlainText(text);
    m_errorLogText->ensureCursorVisible();
    m_errorLogWindow->show();
}

void MainWindow::errorLogCleared() {
    m_errorLogText->clear();
}

bool MainWindow::showMessage(std::string_view title, std::string_view text, app::MessageKind kind) {
    if (m_messageOverride)
        return m_messageOverride->showMessage(title, text, kind);
    const QString t = qt(title), body = messageText(text);
    switch (kind) {
    case app::MessageKind::Question:
        return QMessageBox::question(this, t, body, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    case app::MessageKind::Warning:
        QMessageBox::warning(this, t, body);
        return true;
    case app::MessageKind::Information:
        QMessageBox::information(this, t, body);
        return true;
    case app::MessageKind::Error:
        QMessageBox::critical(this, t, body);
        return true;
    }
    return true;
}

void MainWindow::fileOpen() {
    QString chosenFilter;
    const QString name =
        QFileDialog::getOpenFileName(this, QString(), qt(m_files->lastFolder()), kOpenFilter, &chosenFilter);
    if (!name.isEmpty())
        m_files->openFile(name.toStdString());
}

void MainWindow::fileSave() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(kSaveFilter.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("hex"));
    dialog.setDirectory(qt(m_files->lastFolder()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    m_files->save(dialog.selectedFiles().first().toStdString(),
                  filterPosition(kSaveFilter, dialog.selectedNameFilter()));
}

void MainWindow::bufferLoadAt() {
    const std::optional<QString> text = m_addressDialog->ask(QStringLiteral("Загрузка по адресу"));
    if (!text)
        return;
    const std::optional<std::int32_t> address = m_files->loadAddress(text->toStdString());
    if (!address)
        return;
    QString chosenFilter;
    const QString name =
        QFileDialog::getOpenFileName(this, QString(), qt(m_files->lastFolder()), kOpenFilter, &chosenFilter);
    if (!name.isEmpty())
        m_files->loadAt(*address, name.toStdString(), filterPosition(kOpenFilter, chosenFilter));
}

void MainWindow::bufferJumpAddress() {
    const std::optional<QString> text = m_addressDialog->ask(QStringLiteral("Перейти к адресу"));
    if (!text)
        return;
    if (const std::optional<std::int32_t> address = app::parseInteger(text->toStdString()))
        jumpTo(*address);
}

void MainWindow::setEditEnabled(bool on) {
    m_dumpModel->setEditable(on);
    m_store.writeBool(app::Setting::AllowEdit, on);
}

void MainWindow::watchTimer() {
    m_watchTimer->stop();
    m_files->watchTick();
    if (m_store.readBool(app::Setting::CheckFileUpdate, m_state.activeProfile))
        m_watchTimer->start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A running read or write ends as "Отмена" would end it, before anything is saved.
    if (m_searchDialog->searching())
        m_searchDialog->reject();
    if (m_sequencer->paging()) {
        m_sequencer->cancel();
        m_pageTimer->stop();
        updateProgressPanel();
    }
    app::SettingsStore::Batch batch(m_store);
    m_store.writeInteger(app::Setting::WindowHeight, height());
    if (!m_state.startedWithArguments)
        m_store.writeInteger(app::Setting::DevAddress, m_state.deviceAddress, m_state.activeProfile);
    m_watchTimer->stop();
    event->accept();
}

} // namespace app::ui
