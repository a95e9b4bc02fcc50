// SPDX-License-Identifier: GPL-3.0-or-later
// The modal Qt dialog behind SHBrowseForFolderA: the title above (only when
// there is one), an optional status line, the places beside a folder tree
// from the root, an optional edit box, OK and Cancel. It talks to its caller
// only through the browse callback and the messages sent to its window
// handle. Without a selection from the caller it opens on the folder it was
// left on last time, or on the home folder, never on the whole machine.
#include "platform/shell/FolderTree.h"
#include "platform/shell/Places.h"
#include "platform/shell/Shell.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <cstring>

namespace platform {
namespace {

constexpr int kPlacePathRole = Qt::UserRole;

QString Show(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string Bytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

class FolderDialog : public QDialog {
public:
    FolderDialog(BROWSEINFOA& info, QWidget* parent);
    ~FolderDialog() override;

    // Sends BFFM_INITIALIZED; when the callback selected nothing, selects
    // and expands the first of lastFolder, the home folder and the root that
    // the tree shows; then sends the first BFFM_SELCHANGED and starts
    // reporting selection changes.
    void Initialize(const std::string& lastFolder);
    const std::string& ChosenPath() const { return chosen_; }
    std::string CurrentPath() const { return model_->PathOf(tree_->currentIndex()); }

private:
    int Callback(UINT msg, LPARAM lParam);
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void AddTitle(const char* title, QVBoxLayout* layout);
    void AddStatusLine(QVBoxLayout* layout);
    QListWidget* MakePlaces();
    void MakeTree();
    // Makes a path the tree's current row, its folders above expanded; false
    // when the tree does not show it.
    bool Select(const std::string& path);
    // Expands a row and has its folder read, also before the tree is laid out.
    void Open(const QModelIndex& index);
    // Until the user first touches the tree, its current row is kept in view
    // while the folders around it fill in and are sorted in the background.
    void KeepCurrentInView();
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void SelectionChanged(const QModelIndex& current);
    void OkClicked();
    HWND ControlHandle(QWidget* control, int id);

    BROWSEINFOA& info_;
    bool reporting_ = false;
    bool followCurrent_ = true;
    std::string chosen_;
    WidgetWindow* window_;
    QLabel* status_ = nullptr;
    FolderTreeModel* model_;
    QTreeView* tree_;
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_;
    QPushButton* cancel_;
};

std::string RootOf(const BROWSEINFOA& info)
{
    const std::string root = info.pidlRoot ? CleanPath(ILParsingName(info.pidlRoot)) : std::string("/");
    return root.empty() || root[0] != '/' ? std::string("/") : root;
}

FolderDialog::FolderDialog(BROWSEINFOA& info, QWidget* parent) : QDialog(parent), info_(info)
{
    setObjectName(QStringLiteral("BrowseForFolderDialog"));
    setWindowTitle(QStringLiteral("Ordner suchen"));
    setModal(true);
    window_ = static_cast<WidgetWindow*>(HandleOf(this));
    window_->MessageHook = [this](UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return HandleMessage(msg, w, l, r); };
    model_ = new FolderTreeModel(RootOf(info), (info.ulFlags & BIF_BROWSEINCLUDEFILES) != 0, this);

    auto* layout = new QVBoxLayout(this);
    AddTitle(info.lpszTitle, layout);
    AddStatusLine(layout);
    MakeTree();
    auto* browse = new QHBoxLayout;
    browse->addWidget(MakePlaces());
    browse->addWidget(tree_, 1);
    layout->addLayout(browse, 1);
    ControlHandle(tree_, kBrowseTreeId);

    if (info.ulFlags & BIF_EDITBOX) {
        edit_ = new QLineEdit(this);
        edit_->setObjectName(QStringLiteral("folderEdit"));
        layout->addWidget(edit_);
        ControlHandle(edit_, kBrowseEditId);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    ControlHandle(ok_, IDOK);
    ControlHandle(cancel_, IDCANCEL);

    connect(ok_, &QPushButton::clicked, this, [this] { Guard([this] { OkClicked(); }); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    const auto keepInView = [this] { Guard([this] { KeepCurrentInView(); }); };
    connect(model_, &FolderTreeModel::FolderLoaded, this, keepInView);
    connect(model_, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(model_, &QAbstractItemModel::layoutChanged, this, keepInView);
    tree_->viewport()->installEventFilter(this);
    tree_->installEventFilter(this);
    tree_->verticalScrollBar()->installEventFilter(this);

    // Lay the controls out now, so that sizes read during BFFM_INITIALIZED
    // (before the window is shown) are the real ones.
    resize(520, 420);
    layout->activate();
}

FolderDialog::~FolderDialog()
{
    reporting_ = false;
    tree_->disconnect(this);
    if (tree_->selectionModel())
        tree_->selectionModel()->disconnect(this);
}

void FolderDialog::AddTitle(const char* title, QVBoxLayout* layout)
{
    // An empty title takes no room at all.
    if (!title || !*title)
        return;
    auto* label = new QLabel(Show(title), this);
    label->setObjectName(QStringLiteral("titleText"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    ControlHandle(label, kBrowseTitleId);
}

void FolderDialog::AddStatusLine(QVBoxLayout* layout)
{
    if (!(info_.ulFlags & BIF_STATUSTEXT))
        return;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusText"));
    status_->setTextFormat(Qt::PlainText);
    // The text is fitted by the caller; it must never widen the dialog.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(status_);
    ControlHandle(status_, kBrowseStatusId);
    // The new dialog style has no status line; the control exists hidden.
    if (info_.ulFlags & BIF_NEWDIALOGSTYLE)
        status_->hide();
}

QListWidget* FolderDialog::MakePlaces()
{
    auto* places = new QListWidget(this);
    places->setObjectName(QStringLiteral("placesList"));
    for (const Place& place : FolderPlaces()) {
        if (!model_->Contains(place.path))
            continue;
        auto* item = new QListWidgetItem(place.icon, place.name, places);
        item->setToolTip(Show(place.path));
        item->setData(kPlacePathRole, QByteArray::fromStdString(place.path));
    }
    places->setMaximumWidth(std::max(places->sizeHintForColumn(0), 60) + 2 * places->frameWidth() + 8);
    places->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // A click on a place selects it in the tree; the place list keeps no
    // selection of its own.
    connect(places, &QListWidget::itemClicked, this, [this, places](QListWidgetItem* item) {
        Guard([&] {
            const std::string path = item->data(kPlacePathRole).toByteArray().toStdString();
            if (Select(path))
                Open(tree_->currentIndex());
            places->clearSelection();
            tree_->setFocus();
        });
    });
    return places;
}

void FolderDialog::MakeTree()
{
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setModel(model_);
    tree_->setRootIndex(model_->ViewRoot());
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // The root folder is open from the start.
    Open(model_->index(0, 0, model_->ViewRoot()));
}

HWND FolderDialog::ControlHandle(QWidget* control, int id)
{
    HWND handle = HandleOf(control, id);
    window_->AddChild(handle);
    return handle;
}

int FolderDialog::Callback(UINT msg, LPARAM lParam)
{
    return info_.lpfn ? info_.lpfn(window_, msg, lParam, info_.lParam) : 0;
}

bool FolderDialog::Select(const std::string& wanted)
{
    const QModelIndex index = model_->IndexOf(CleanPath(wanted));
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid() && up != tree_->rootIndex(); up = up.parent())
        Open(up);
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
    return true;
}

void FolderDialog::Open(const QModelIndex& index)
{
    tree_->expand(index);
    if (model_->canFetchMore(index))
        model_->fetchMore(index);
}

void FolderDialog::KeepCurrentInView()
{
    if (followCurrent_ && tree_->currentIndex().isValid())
        tree_->scrollTo(tree_->currentIndex());
}

void FolderDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Sizes may have changed since the selection was made.
    KeepCurrentInView();
}

bool FolderDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        followCurrent_ = false;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

bool FolderDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case BFFM_SETSTATUSTEXTA:
        if (status_)
            status_->setText(Show(lParam ? reinterpret_cast<const char*>(lParam) : ""));
        return true;
    case BFFM_ENABLEOK:
        ok_->setEnabled(lParam != 0);
        return true;
    case BFFM_SETSELECTIONA: {
        std::string path;
        if (wParam)
            path = lParam ? reinterpret_cast<const char*>(lParam) : "";
        else if (ILIsFileSystem(reinterpret_cast<LPCITEMIDLIST>(lParam)))
            path = ILParsingName(reinterpret_cast<LPCITEMIDLIST>(lParam));
        result = !path.empty() && Select(path) ? 1 : 0;
        return true;
    }
    default:
        return false;
    }
}

void FolderDialog::Initialize(const std::string& lastFolder)
{
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { Guard([&] { SelectionChanged(current); }); });
    Callback(BFFM_INITIALIZED, 0);
    reporting_ = true;
    if (tree_->currentIndex().isValid()) {
        SelectionChanged(tree_->currentIndex());
    } else if (Select(lastFolder) || Select(SpecialFolderPath(CSIDL_PERSONAL)) || Select(model_->Root())) {
        Open(tree_->currentIndex());
    }
}

void FolderDialog::SelectionChanged(const QModelIndex& current)
{
    if (!current.isValid())
        return;
    if (edit_)
        edit_->setText(current.data().toString());
    if (!reporting_)
        return;
    LPITEMIDLIST item = ILCreateFromPath(model_->PathOf(current));
    if (!item)
        return;
    struct FreeItem {
        LPITEMIDLIST item;
        ~FreeItem() { ShellAllocator().Free(item); }
    } owner{item};
    Callback(BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item));
}

void FolderDialog::OkClicked()
{
    const QModelIndex current = tree_->currentIndex();
    std::string path = model_->PathOf(current);
    if (edit_) {
        const QString typed = edit_->text().trimmed();
        if (!typed.isEmpty() && !(current.isValid() && typed == current.data().toString())) {
            const std::string text = Bytes(typed);
            std::string candidate;
            if (text[0] == '/')
                candidate = text;
            else if (!path.empty())
                candidate = (path == "/" ? path : path + "/") + text;
            if (!candidate.empty() && PathExists(candidate)) {
                path = CleanPath(candidate);
            } else if (info_.ulFlags & BIF_VALIDATE) {
                // Zero from the callback dismisses the dialog without a choice.
                if (Callback(BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(text.c_str())) == 0)
                    reject();
                return;
            }
        }
    }
    if (path.empty())
        return;
    chosen_ = path;
    accept();
}

}  // namespace

LPITEMIDLIST QtBrowseDialog::Run(BROWSEINFOA& info)
{
    QWidget* owner = WidgetOf(info.hwndOwner);
    FolderDialog dialog(info, owner ? owner->window() : nullptr);
    dialog.Initialize(lastFolder_);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const std::string left = accepted ? dialog.ChosenPath() : dialog.CurrentPath();
    if (!left.empty())
        lastFolder_ = left;
    if (!accepted || dialog.ChosenPath().empty())
        return nullptr;
    LPITEMIDLIST chosen = ILCreateFromPath(dialog.ChosenPath());
    if (!chosen)
        return nullptr;
    if (info.pszDisplayName) {
        const std::string name = ILDisplayName(chosen);
        const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(info.pszDisplayName, name.data(), n);
        info.pszDisplayName[n] = '\0';
    }
    SHFILEINFOA fileInfo{};
    info.iImage = SHGetFileInfoA(dialog.ChosenPath().c_str(), 0, &fileInfo, sizeof fileInfo, SHGFI_SYSICONINDEX)
                      ? fileInfo.iIcon
                      : -1;
    return chosen;
}

}  // namespace platform
