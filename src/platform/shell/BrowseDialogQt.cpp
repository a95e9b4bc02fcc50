// The modal Qt dialog behind SHBrowseForFolderA: a lazily filled folder tree
// from the root, the title above it, an optional status line and edit box,
// OK and Cancel. It talks to its caller only through the browse callback and
// the messages sent to its window handle.
#include "platform/shell/Shell.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

namespace platform {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

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

    // Sends BFFM_INITIALIZED, then the first BFFM_SELCHANGED, and starts
    // reporting selection changes.
    void Initialize();
    const std::string& ChosenPath() const { return chosen_; }

private:
    int Callback(UINT msg, LPARAM lParam);
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const std::string& path, const QString& text, bool isDir);
    void Fill(QTreeWidgetItem* item);
    QTreeWidgetItem* FindPath(const std::string& path);
    std::string PathOf(const QTreeWidgetItem* item) const;
    void SelectionChanged(QTreeWidgetItem* current);
    void OkClicked();
    HWND ControlHandle(QWidget* control, int id);

    BROWSEINFOA& info_;
    std::string root_;
    bool includeFiles_;
    bool reporting_ = false;
    std::string chosen_;
    WidgetWindow* window_;
    QLabel* title_;
    QLabel* status_ = nullptr;
    QTreeWidget* tree_;
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_;
    QPushButton* cancel_;
};

FolderDialog::FolderDialog(BROWSEINFOA& info, QWidget* parent)
    : QDialog(parent), info_(info), includeFiles_((info.ulFlags & BIF_BROWSEINCLUDEFILES) != 0)
{
    setObjectName(QStringLiteral("BrowseForFolderDialog"));
    setWindowTitle(QStringLiteral("Ordner suchen"));
    setModal(true);
    window_ = static_cast<WidgetWindow*>(HandleOf(this));
    window_->MessageHook = [this](UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return HandleMessage(msg, w, l, r); };

    root_ = info.pidlRoot ? CleanPath(ILParsingName(info.pidlRoot)) : std::string("/");
    if (root_.empty() || root_[0] != '/')
        root_ = "/";

    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(Show(info.lpszTitle ? info.lpszTitle : ""), this);
    title_->setObjectName(QStringLiteral("titleText"));
    title_->setTextFormat(Qt::PlainText);
    title_->setWordWrap(true);
    layout->addWidget(title_);
    ControlHandle(title_, kBrowseTitleId);

    if (info.ulFlags & BIF_STATUSTEXT) {
        status_ = new QLabel(this);
        status_->setObjectName(QStringLiteral("statusText"));
        status_->setTextFormat(Qt::PlainText);
        // The text is fitted by the caller; it must never widen the dialog.
        status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(status_);
        ControlHandle(status_, kBrowseStatusId);
        // The new dialog style has no status line; the control exists hidden.
        if (info.ulFlags & BIF_NEWDIALOGSTYLE)
            status_->hide();
    }

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    layout->addWidget(tree_, 1);
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

    QTreeWidgetItem* rootItem = AddItem(nullptr, root_, Show(root_), true);
    Fill(rootItem);
    rootItem->setExpanded(true);

    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Guard([&] { Fill(item); }); });
    connect(ok_, &QPushButton::clicked, this, [this] { Guard([this] { OkClicked(); }); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    // Lay the controls out now, so that sizes read during BFFM_INITIALIZED
    // (before the window is shown) are the real ones.
    resize(340, 400);
    layout->activate();
}

FolderDialog::~FolderDialog()
{
    reporting_ = false;
    tree_->disconnect(this);
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

QTreeWidgetItem* FolderDialog::AddItem(QTreeWidgetItem* parent, const std::string& path, const QString& text,
                                       bool isDir)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, text);
    item->setToolTip(0, Show(path));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setData(0, kFilledRole, !isDir);
    item->setChildIndicatorPolicy(isDir ? QTreeWidgetItem::ShowIndicator
                                        : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

std::string FolderDialog::PathOf(const QTreeWidgetItem* item) const
{
    return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}

void FolderDialog::Fill(QTreeWidgetItem* item)
{
    if (item->data(0, kFilledRole).toBool())
        return;
    item->setData(0, kFilledRole, true);
    const std::string path = PathOf(item);
    QDir::Filters filter = QDir::Dirs | QDir::NoDotAndDotDot;
    if (includeFiles_)
        filter |= QDir::Files;
    const QFileInfoList entries =
        QDir(Show(path)).entryInfoList(filter, QDir::Name | QDir::IgnoreCase | QDir::DirsFirst);
    for (const QFileInfo& entry : entries) {
        const std::string name = Bytes(entry.fileName());
        AddItem(item, path == "/" ? "/" + name : path + "/" + name, entry.fileName(), entry.isDir());
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* FolderDialog::FindPath(const std::string& wanted)
{
    const std::string path = CleanPath(wanted);
    QTreeWidgetItem* item = tree_->topLevelItem(0);
    if (!item)
        return nullptr;
    if (path == root_)
        return item;
    const std::string prefix = root_ == "/" ? root_ : root_ + "/";
    if (path.compare(0, prefix.size(), prefix) != 0)
        return nullptr;
    std::size_t start = prefix.size();
    while (start < path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string childPath = path.substr(0, end);
        Fill(item);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (PathOf(item->child(i)) == childPath)
                next = item->child(i);
        if (!next)
            return nullptr;
        item = next;
        start = end + 1;
    }
    return item;
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
        if (QTreeWidgetItem* item = path.empty() ? nullptr : FindPath(path)) {
            for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
                up->setExpanded(true);
            tree_->setCurrentItem(item);
            tree_->scrollToItem(item);
            result = 1;
        }
        return true;
    }
    default:
        return false;
    }
}

void FolderDialog::Initialize()
{
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { Guard([&] { SelectionChanged(current); }); });
    Callback(BFFM_INITIALIZED, 0);
    reporting_ = true;
    if (tree_->currentItem())
        SelectionChanged(tree_->currentItem());
    else
        tree_->setCurrentItem(tree_->topLevelItem(0));
}

void FolderDialog::SelectionChanged(QTreeWidgetItem* current)
{
    if (!current)
        return;
    if (edit_)
        edit_->setText(current->text(0));
    if (!reporting_)
        return;
    LPITEMIDLIST item = ILCreateFromPath(PathOf(current));
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
    QTreeWidgetItem* current = tree_->currentItem();
    std::string path = PathOf(current);
    if (edit_) {
        const QString typed = edit_->text().trimmed();
        if (!typed.isEmpty() && !(current && typed == current->text(0))) {
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
    dialog.Initialize();
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenPath().empty())
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
