// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "frmConfig.h"

#include "CRegKey.h"
#include "ChoiceLists.h"
#include "ControlBuilders.h"
#include "FitToLayout.h"
#include "HostListModel.h"
#include "MessageBox.h"
#include "StoreLayout.h"
#include "StoredSettings.h"
#include "Twips.h"
#include "frmHost.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>

#include <functional>

using namespace zeb::reg;
using namespace zeb::ui;
namespace layout = zeb::layout;

namespace {

const QString GENERAL_KEY = QStringLiteral("GENERAL");
const QString HOSTS_TAB_KEY = QStringLiteral("HOSTS");
const QString FIRST_USE_EMULATION = QString::fromLatin1(layout::choices::EMULATION_AM75G);
const QString UNKNOWN_PORT = QStringLiteral("?");
// Longer host lists are read once the dialog has been drawn (RefreshHostList).
constexpr int ROWS_LISTED_BEFORE_DRAWN = 1000;

// "SERIAL" shows as "Serial": first character upper-cased, the rest lower-cased.
QString capitalised(const QString& text) {
    return text.left(1).toUpper() + text.mid(1).toLower();
}

// The third column: the port of a serial record, the address of a TCP/IP one, "?" otherwise.
QString portColumnText(CRegKey& key, const QString& sTransport) {
    const QString upper = sTransport.toUpper();
    if (upper == QLatin1String(layout::TRANSPORT_SERIAL)) {
        return readStoredText(key, layout::PORT).value_or(QString());
    }
    if (upper == QLatin1String(layout::TRANSPORT_TELNET)) {
        return readStoredText(key, layout::ADDRESS).value_or(QString());
    }
    return UNKNOWN_PORT;
}

// The Transport and Address/Port texts of the record listed as sName, read from Hosts\<name>.
std::pair<QString, QString> hostColumnTexts(const QString& sName) {
    CRegKey key;
    key.OpenKey(HKEY_LOCAL_MACHINE, layout::hostKeyPath(sName.toStdString()), KEY_READ);
    const QString sTransport = readStoredText(key, layout::TRANSPORT).value_or(QString());
    std::pair<QString, QString> texts{capitalised(sTransport), portColumnText(key, sTransport)};
    key.CloseKey();
    return texts;
}

// The host list reports every double-click of the left button in it, also on the empty space
// below the rows, once the view itself has handled it (and so made the row under the pointer the
// current one). Other buttons' double-clicks edit nothing.
class HostListView final : public QTreeView {
public:
    using QTreeView::QTreeView;
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QTreeView::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton) {
            onDoubleClick();
        }
    }
};

} // namespace

frmConfig::frmConfig(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Orvane Terminal Emulator Configuration Utility"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(6975), twips(4155));

    buildTabStrip();
    buildGeneralPage();
    buildHostsPage();

    cmdOK = addButton<QPushButton>(this, "cmdOK", "OK", twipsRect(4560, 3720, 1095, 315));
    cmdOK->setDefault(true);
    cmdCancel =
        addButton<QPushButton>(this, "cmdCancel", "Cancel", twipsRect(5760, 3720, 1095, 315));
    connect(cmdOK, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfig::cmdCancel_Click);
}

// The tab strip draws the tabs and the frame around the pages; the two page containers are laid
// over its client area as siblings, so its own (empty) pages are never seen.
void frmConfig::buildTabStrip() {
    tabMain = placeControl<QTabWidget>(this, "tabMain", twipsRect(120, 120, 6735, 3495));
    const struct {
        const char* caption;
        const QString& key;
        const char* tooltip;
    } TABS[] = {{"General", GENERAL_KEY, "General and default settings"},
                {"Hosts", HOSTS_TAB_KEY, "Server name and serial settings"}};
    for (const auto& tab : TABS) {
        const int index = tabMain->addTab(new QWidget(tabMain), QString::fromLatin1(tab.caption));
        tabMain->tabBar()->setTabData(index, tab.key);
        tabMain->setTabToolTip(index, QString::fromLatin1(tab.tooltip));
    }
    connect(tabMain, &QTabWidget::currentChanged, this, &frmConfig::tabMain_Click);
    // A click on the tab that is already selected changes nothing, yet the user who clicks a tab
    // expects to be on its page: it moves the focus there as selecting a tab does.
    connect(tabMain, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index == tabMain->currentIndex()) {
            tabMain_Click();
        }
    });
}

void frmConfig::buildGeneralPage() {
    frpGeneral = placeControl<QWidget>(this, "frpGeneral", twipsRect(180, 480, 6615, 3075));
    lblEmulation = addLabel(frpGeneral, "lblEmulation",
                            "&Default terminal emulation:", twipsRect(780, 480, 1875, 315),
                            CaptionPlace::Middle);
    cboDefaultEmulation =
        placeControl<QComboBox>(frpGeneral, "cboDefaultEmulation", twipsRect(3060, 420, 2295, 315));
    lblEmulation->setBuddy(cboDefaultEmulation);
    optNoAlias = addButton<QRadioButton>(frpGeneral, "optNoAlias",
                                         "Permit standard TCP/IP hostname resolution",
                                         twipsRect(780, 1080, 4215, 315));
    optAlias =
        addButton<QRadioButton>(frpGeneral, "optAlias", "Only allow connection to defined hosts",
                                twipsRect(780, 1440, 4215, 315));
}

void frmConfig::buildHostsPage() {
    frpHosts = placeControl<QWidget>(this, "frpHosts", twipsRect(180, 480, 6615, 3075));
    lblHosts = addLabel(frpHosts, "lblHosts",
                        "Server hostname configurations:", twipsRect(180, 120, 2835, 255),
                        CaptionPlace::Middle);
    auto* list = placeControl<HostListView>(frpHosts, "lstHosts", twipsRect(180, 420, 4995, 2475));
    list->onDoubleClick = [this] { lstHosts_DblClick(); };
    lstHosts = list;
    lblHosts->setBuddy(lstHosts);
    // A list view's accessible interface reports no label relation: screen readers take its name
    // from here.
    lstHosts->setAccessibleName(lblHosts->text());

    // A report-style list: rows are record names in store order, never edited in place, since a
    // row's text is the name that Edit and Remove act on. Rows of one height are measured once.
    lstHosts->setRootIsDecorated(false);
    lstHosts->setUniformRowHeights(true);
    lstHosts->setAllColumnsShowFocus(true);
    lstHosts->setSortingEnabled(false);
    lstHosts->setSelectionMode(QAbstractItemView::SingleSelection);
    lstHosts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const struct {
        const char* key;
        const char* header;
        int width;
    } COLUMNS[] = {{"SERVER", "Server", 2000},
                   {"TRANSPORT", "Transport", 1440},
                   {"PORT", "Address/Port", 1440}};
    QList<HostListModel::Column> modelColumns;
    for (const auto& column : COLUMNS) {
        modelColumns.append({QString::fromLatin1(column.header), QString::fromLatin1(column.key)});
    }
    m_hostRows = new HostListModel(modelColumns, lstHosts);
    m_hostRows->fillRows = [this](int nFirst, int nLast) { fillHostColumns(nFirst, nLast); };
    lstHosts->setModel(m_hostRows);
    lstHosts->header()->setStretchLastSection(false);
    for (int column = 0; column < 3; ++column) {
        lstHosts->setColumnWidth(column, twips(COLUMNS[column].width));
    }

    cmdAdd = addButton<QPushButton>(frpHosts, "cmdAdd", "Add", twipsRect(5340, 420, 1095, 315));
    cmdRemove =
        addButton<QPushButton>(frpHosts, "cmdRemove", "Remove", twipsRect(5340, 900, 1095, 315));
    cmdEdit =
        addButton<QPushButton>(frpHosts, "cmdEdit", "Edit...", twipsRect(5340, 1380, 1095, 315));
    connect(cmdAdd, &QPushButton::clicked, this, &frmConfig::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmConfig::cmdRemove_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmConfig::cmdEdit_Click);
}

void frmConfig::Display() {
    load();
    exec();
}

void frmConfig::load() {
    FillEmulations(cboDefaultEmulation);
    LoadSettings();
    RefreshHostList();
    // Not visible yet, so this focuses nothing; the first showing focuses the page's control.
    ShowPage(GENERAL_KEY, true);
}

// The font is fitted to the layout here, as the dialog is about to be drawn. Qt also activates the
// window when the user comes back from another program; the page is shown again only on the first
// showing and after the host editor closed (runHostEditor), so switching programs does not move
// the user's focus.
void frmConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        fitTextsToLayout(this);
        // Centred on the screen rather than over the selection dialog, wherever that was moved.
        centreOnScreen(this);
        Form_Activate();
    }
}

QString frmConfig::selectedTabKey() const {
    return tabMain->tabBar()->tabData(tabMain->currentIndex()).toString();
}

void frmConfig::ShowPage(const QString& sKey, bool bSelectTab) {
    HideControl(frpGeneral);
    HideControl(frpHosts);
    if (sKey == GENERAL_KEY) {
        ShowControl(frpGeneral, true);
        frpGeneral->raise();
        FocusControl(cboDefaultEmulation);
    } else if (sKey == HOSTS_TAB_KEY) {
        ShowControl(frpHosts, true);
        frpHosts->raise();
        FocusControl(lstHosts);
    }
    if (bSelectTab) {
        for (int index = 0; index < tabMain->count(); ++index) {
            if (tabMain->tabBar()->tabData(index).toString() == sKey) {
                tabMain->setCurrentIndex(index);
            }
        }
    }
}

void frmConfig::LoadSettings() {
    CRegKey key;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, layout::SETTINGS_KEY, KEY_READ) != ERROR_SUCCESS) {
        SelectComboItem(cboDefaultEmulation, FIRST_USE_EMULATION, 0);
        optNoAlias->setChecked(true);
    } else {
        SelectComboItem(cboDefaultEmulation,
                        readStoredText(key, layout::DEFAULT_TTY).value_or(QString()), 0);
        const bool bPermit =
            readStoredText(key, layout::ENABLE_NR) == QLatin1String(layout::ENABLE_NR_YES);
        (bPermit ? optNoAlias : optAlias)->setChecked(true);
    }
    key.CloseKey();
}

void frmConfig::SaveSettings() {
    CRegKey key;
    bool bFailed = openOrCreateForWriting(key, layout::SETTINGS_KEY) != ERROR_SUCCESS;
    const std::string sEnableNR =
        optNoAlias->isChecked() ? layout::ENABLE_NR_YES : layout::ENABLE_NR_NO;
    bFailed |= key.SetValue(cboDefaultEmulation->currentText().toStdString(),
                            layout::DEFAULT_TTY) != ERROR_SUCCESS;
    bFailed |= key.SetValue(sEnableNR, layout::ENABLE_NR) != ERROR_SUCCESS;
    key.CloseKey();
    if (bFailed) {
        reportSaveFailure();
    }
}

// A hundred thousand rows are one model reset; each row's Transport and Address/Port are read as
// the row is first shown (HostListModel, fillHostColumns). Before the dialog is first drawn, a long
// list is read right after it has been: the dialog opens on the General page, and no one sees the
// list before then.
void frmConfig::RefreshHostList() {
    if (!isVisible() && storedHostNameAt(ROWS_LISTED_BEFORE_DRAWN).has_value()) {
        selectFirstRow(); // none yet: Edit and Remove wait too
        runAfterFirstPaint(this, [this] { RefreshHostList(); });
        return;
    }
    m_hostRows->setNames(storedHostNames());
    selectFirstRow();
}

// Rows are filled in blocks (HostListModel): the reads of a block see one state of the store.
void frmConfig::fillHostColumns(int nFirstRow, int nLastRow) {
    readAsOneState([&] {
        for (int nRow = nFirstRow; nRow <= nLastRow; ++nRow) {
            const QModelIndex row = m_hostRows->index(nRow, 0);
            const auto [sTransport, sPort] = hostColumnTexts(m_hostRows->nameAt(nRow));
            SetListItemColumn(lstHosts, row, QStringLiteral("TRANSPORT"), sTransport);
            SetListItemColumn(lstHosts, row, QStringLiteral("PORT"), sPort);
        }
        return ERROR_SUCCESS;
    });
}

// The list shows what a rebuild from the store would, without one. The editor's save and Remove
// only ever delete the record's HostList value and add one at its end, so: the changed row goes
// when HostList no longer lists its name at its place (an edited record moves to the end, even
// under its old name), and the names HostList now lists after the last row come as new rows (none
// when the list ends at a name too long to list). Every row's Transport and Address/Port are read
// again as it is next shown, since a record may be listed twice ("x" and the imported "x\" share
// a key). As after a rebuild, the first row is the current one.
void frmConfig::refreshChangedRows(int nChangedRow) {
    if (nChangedRow >= 0 && storedHostNameAt(nChangedRow) != m_hostRows->nameAt(nChangedRow)) {
        m_hostRows->removeRow(nChangedRow);
    }
    while (const std::optional<QString> sName = storedHostNameAt(m_hostRows->rowCount())) {
        m_hostRows->appendName(*sName);
    }
    m_hostRows->forgetFields();
    selectFirstRow();
}

// The first row is the current one, as after any refill, so Edit and Remove have a target.
void frmConfig::selectFirstRow() {
    const bool bRows = m_hostRows->rowCount() > 0;
    if (bRows) {
        lstHosts->setCurrentIndex(m_hostRows->index(0, 0));
    }
    cmdEdit->setEnabled(bRows);
    cmdRemove->setEnabled(bRows);
}

void frmConfig::runHostEditor(int eCallMode, const QString& sDefaultTTY, int nRow) {
    frmHost editor(this);
    if (editor.Display(eCallMode, sDefaultTTY, m_hostRows->nameAt(nRow))) {
        refreshChangedRows(nRow);
    }
    // The editor has closed over this dialog: it becomes the active window again. Called here
    // rather than on the window system's activation, which not every platform delivers.
    Form_Activate();
}

void frmConfig::Form_Activate() {
    ShowPage(selectedTabKey(), false);
}

void frmConfig::tabMain_Click() {
    ShowPage(selectedTabKey(), false);
}

void frmConfig::cmdOK_Click() {
    SaveSettings();
    accept();
}

void frmConfig::cmdCancel_Click() {
    reject();
}

void frmConfig::cmdAdd_Click() {
    runHostEditor(cmAdd, cboDefaultEmulation->currentText(), -1);
}

void frmConfig::cmdEdit_Click() {
    const QModelIndex row = lstHosts->currentIndex();
    if (!row.isValid()) {
        return;
    }
    runHostEditor(cmEdit, QString(), row.row());
}

void frmConfig::cmdRemove_Click() {
    const QModelIndex row = lstHosts->currentIndex();
    if (!row.isValid()) {
        return;
    }
    const QString sName = m_hostRows->nameAt(row.row());
    if (!ConfirmDelete(QStringLiteral("server definition"), sName)) {
        return;
    }
    // All four steps run whatever the others gave; one message covers them.
    const std::string name = sName.toStdString();
    bool bFailed = false;
    CRegKey key;
    bFailed |= key.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, KEY_WRITE) != ERROR_SUCCESS;
    bFailed |= key.DeleteValue(name) != ERROR_SUCCESS;
    key.CloseKey();
    if (namesOwnHostKey(sName)) { // an imported name with a backslash names another key
        bFailed |= key.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTS_KEY, KEY_WRITE) != ERROR_SUCCESS;
        bFailed |= key.DeleteSubKey(name) != ERROR_SUCCESS;
        key.CloseKey();
    }
    if (bFailed) {
        showMessage(QStringLiteral("Unable to remove settings from the registry"),
                    MsgIcon::Critical, MsgButtons::Ok);
    }
    refreshChangedRows(row.row());
}

void frmConfig::lstHosts_DblClick() {
    cmdEdit_Click();
}
