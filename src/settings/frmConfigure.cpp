#include "frmConfigure.h"

#include "AppInfo.h"
#include "ApplyConfiguration.h"
#include "ErrorLog.h"
#include "FontSlots.h"
#include "FrmEdit.h"
#include "ModFileExtension.h"
#include "OptionFlags.h"
#include "Prompts.h"
#include "SettingsFile.h"
#include "SoundAlerts.h"
#include "frmFileType.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kObjectName = QStringLiteral("frmConfigure");
constexpr int kHandlerKeyRole = Qt::UserRole;

QFrame *NewPage()
{
    auto *frame = new QFrame;
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Button);
    return frame;
}

QFrame *HorizontalLine()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmConfigure::frmConfigure(QWidget *parent) : QDialog(parent)
{
    setObjectName(kObjectName);
    setModal(true);
    setWindowTitle(QStringLiteral("Configure Ftp Qor"));
    BuildControls();
    Form_Load();
}

void frmConfigure::BuildControls()
{
    List1 = new QListWidget;
    List1->addItems({QStringLiteral("General"), QStringLiteral("Jobs"), QStringLiteral("History & Logs"),
                     QStringLiteral("System"), QStringLiteral("Sound Alert"), QStringLiteral("Fonts")});
    List1->setFixedWidth(List1->sizeHintForColumn(0) + 24);
    m_frameTags = {QStringLiteral("- Most frequent options to control Ftp Qor"),
                   QStringLiteral("- Customize job handling to suit your need"),
                   QStringLiteral("- Optimize for faster performance with past history"),
                   QStringLiteral("- Utilize system features of Windows and other programs"),
                   QStringLiteral("- Sound alerts can help you manage it better"),
                   QString()};

    // Header strip: page title and description with a line along its bottom.
    auto *picture1 = new QFrame;
    picture1->setAutoFillBackground(true);
    picture1->setBackgroundRole(QPalette::Base);
    Label1 = new QLabel;
    QFont titleFont = MakeFont(QStringLiteral("Arial"), 12);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label10 = new QLabel;
    auto *headerRow = new QHBoxLayout;
    headerRow->setSpacing(4); // the description sits 60 twips right of the title
    headerRow->addWidget(Label1);
    headerRow->addWidget(Label10, 1);
    auto *header = new QVBoxLayout(picture1);
    header->addLayout(headerRow);
    header->addWidget(HorizontalLine());

    m_pages = new QStackedWidget;
    Frame1 = {BuildOptionPage(0, Check1), BuildOptionPage(1, ChkTask), BuildOptionPage(2, ChkHist),
              BuildSystemPage(), BuildSoundPage(), BuildFontPage()};
    for (QFrame *frame : Frame1) {
        m_pages->addWidget(frame);
        frame->installEventFilter(this);
    }

    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(picture1);
    right->addWidget(m_pages, 1);
    auto *body = new QHBoxLayout;
    body->addWidget(List1);
    body->addLayout(right, 1);

    Image1 = new QLabel;
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    lblWarn = new QLabel(QStringLiteral("Ftp session is active. New setting will take effect on next run."));
    OKButton = new QPushButton(QStringLiteral("&OK"));
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    OKButton->setDefault(true);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Image1);
    bottom->addWidget(lblWarn);
    bottom->addStretch(1);
    bottom->addWidget(OKButton);
    bottom->addWidget(CancelButton);
    ShowSessionWarning(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(HorizontalLine());
    layout->addLayout(bottom);

    connect(List1, &QListWidget::currentRowChanged, this, &frmConfigure::List1_Click);
    connect(OKButton, &QPushButton::clicked, this, &frmConfigure::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmConfigure::CancelButton_Click);
    resize(640, 440);
}

QFrame *frmConfigure::BuildOptionPage(int page, QList<QCheckBox *> &boxes)
{
    QFrame *frame = NewPage();
    auto *layout = new QVBoxLayout(frame);
    for (OptionFlag flag : OptionPageFlags(static_cast<OptionPage>(page))) {
        auto *box = new QCheckBox(OptionFlagInfoOf(flag).caption);
        boxes.append(box);
        layout->addWidget(box);
    }
    layout->addStretch(1);
    return frame;
}

QFrame *frmConfigure::BuildSystemPage()
{
    QFrame *frame = BuildOptionPage(static_cast<int>(OptionPage::System), ChkSyst);
    auto *layout = static_cast<QVBoxLayout *>(frame->layout());
    delete layout->takeAt(layout->count() - 1); // the stretch: the handler list fills the rest
    LVEditor = new QTreeWidget;
    LVEditor->setRootIsDecorated(false);
    LVEditor->setHeaderLabels({QStringLiteral("File Type"), QStringLiteral("Actions"), QStringLiteral("Program Path")});
    LVEditor->setSelectionMode(QAbstractItemView::SingleSelection);
    LVEditor->setAllColumnsShowFocus(true);
    LVEditor->header()->setStretchLastSection(false);
    LVEditor->installEventFilter(this);
    CmdAdd = new QPushButton(QStringLiteral("&Add"));
    CmdEdit = new QPushButton(QStringLiteral("&Edit"));
    CmdRem = new QPushButton(QStringLiteral("&Delete"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdAdd);
    buttons->addWidget(CmdEdit);
    buttons->addWidget(CmdRem);
    layout->addWidget(LVEditor, 1);
    layout->addLayout(buttons);

    connect(ChkSyst.at(2), &QCheckBox::clicked, this, &frmConfigure::UpdateHandlerControls);
    connect(LVEditor, &QTreeWidget::itemSelectionChanged, this, &frmConfigure::UpdateHandlerControls);
    connect(LVEditor, &QTreeWidget::itemDoubleClicked, this, &frmConfigure::CmdEdit_Click);
    connect(CmdAdd, &QPushButton::clicked, this, &frmConfigure::CmdAdd_Click);
    connect(CmdEdit, &QPushButton::clicked, this, &frmConfigure::CmdEdit_Click);
    connect(CmdRem, &QPushButton::clicked, this, &frmConfigure::CmdRem_Click);
    return frame;
}

QFrame *frmConfigure::BuildSoundPage()
{
    QFrame *frame = NewPage();
    auto *grid = new QGridLayout(frame);
    for (int row = 0; row < AlertSoundRows; ++row) {
        auto *box = new QCheckBox(AlertSoundName(row));
        auto *path = new QLineEdit;
        auto *browse = new QPushButton(QStringLiteral("..."));
        browse->setFixedWidth(32);
        ChkSound.append(box);
        txtSound.append(path);
        CmdSound.append(browse);
        grid->addWidget(box, row, 0);
        grid->addWidget(path, row, 1);
        grid->addWidget(browse, row, 2);
        connect(box, &QCheckBox::clicked, this, [this, row] { ChkSound_Click(row); });
        connect(browse, &QPushButton::clicked, this, [this, row] { CmdSound_Click(row); });
    }
    grid->setRowStretch(AlertSoundRows, 1);
    return frame;
}

QFrame *frmConfigure::BuildFontPage()
{
    QFrame *frame = NewPage();
    auto *grid = new QGridLayout(frame);
    for (int row = 0; row < FontSlotCount; ++row) {
        const FontSlotInfo &info = FontSlotInfoOf(row);
        auto *box = new QCheckBox(info.caption);
        auto *sample = new QLabel;
        sample->setFrameShape(QFrame::StyledPanel);
        auto *browse = new QPushButton(QStringLiteral("..."));
        browse->setFixedWidth(32);
        ChkFont.append(box);
        lblFont.append(sample);
        CmdFont.append(browse);
        grid->addWidget(box, row, 0);
        grid->addWidget(sample, row, 1);
        grid->addWidget(browse, row, 2);
        SetFontSample(row, info.defaultFamily, info.defaultSize,
                      info.defaultFamily + QStringLiteral(", ") + FontSizeText(info.defaultSize));
        connect(browse, &QPushButton::clicked, this, [this, row] { CmdFont_Click(row); });
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(FontSlotCount, 1);
    return frame;
}

void frmConfigure::ShowSessionWarning(bool visible)
{
    Image1->setVisible(visible);
    lblWarn->setVisible(visible);
}

void frmConfigure::Form_Load()
{
    try {
        m_optionString = QStringList(6);
        QList<quint8> fontEnabled(FontSlotCount, 0);
        QStringList fontSpecs(FontSlotCount);
        LoadConfFromFile(m_optionString, m_soundEnabled, m_soundPaths, m_handlers, fontEnabled, fontSpecs);

        LVEditor->clear();
        for (const FileHandler &handler : m_handlers)
            AddHandlerRow(handler);

        for (int row = 0; row < AlertSoundRows; ++row) {
            txtSound.at(row)->setText(m_soundPaths.value(row));
            ChkSound.at(row)->setChecked(m_soundEnabled.value(row) == 1);
            UpdateSoundRow(row);
        }

        for (int row = 0; row < FontSlotCount; ++row) {
            ChkFont.at(row)->setChecked(fontEnabled.at(row) == 1);
            const QString spec = fontSpecs.at(row);
            const QStringList parts = spec.split(QLatin1Char(','));
            if (parts.size() >= 2)
                SetFontSample(row, parts.at(0), FontSizeFromText(parts.at(1)), spec);
        }

        UpdateHandlerControls();

        const QList<QList<QCheckBox *>> pages{Check1, ChkTask, ChkHist, ChkSyst};
        for (int page = 0; page < pages.size(); ++page) {
            const QString digits = m_optionString.value(page);
            for (int i = 0; i < pages.at(page).size(); ++i)
                pages.at(page).at(i)->setChecked(i < digits.size() && digits.at(i) == QLatin1Char('1'));
        }
        // Always offered checked, whatever was stored.
        ChkTask.at(8)->setChecked(true);
        UpdateHandlerControls();

        List1->setCurrentRow(0);
        List1_Click();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("Form_Load"));
    }
}

void frmConfigure::List1_Click()
{
    try {
        const int page = List1->currentRow();
        if (page < 0 || page >= Frame1.size())
            return;
        Label1->setText(List1->item(page)->text());
        m_pages->setCurrentIndex(page);
        Label10->setText(m_frameTags.at(page));
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("List1_Click"));
    }
}

bool frmConfigure::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LVEditor && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        ApplyEditorColumnWidths();
    if (event->type() == QEvent::MouseButtonDblClick && Frame1.contains(watched)) {
        Frame1_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmConfigure::Frame1_DblClick()
{
    try {
        // The built-in editor with no file: nothing to upload, nothing kept.
        FrmEdit editor(this);
        editor.setModal(true);
        editor.PrepareEdit(nullptr, 0, {}, {}, {}, {}, ConfiguredFont(FontSlot::BuiltInEditor).value_or(QFont()));
        editor.exec();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("Frame1_DblClick"));
    }
}

void frmConfigure::ApplyEditorColumnWidths()
{
    const int width = LVEditor->viewport()->width();
    const double fractions[] = {0.2, 0.2, 0.57};
    for (int column = 0; column < 3; ++column)
        LVEditor->setColumnWidth(column, static_cast<int>(width * fractions[column]));
}

bool frmConfigure::FileHandlerExist(const QString &key) const
{
    return m_handlers.ContainsKey(key);
}

bool frmConfigure::AppTitleExist(const QString &title) const
{
    for (const FileHandler &handler : m_handlers) {
        if (handler.ApplicationTitle().compare(title, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void frmConfigure::UpdateHandlerControls()
{
    const bool enabled = ChkSyst.at(2)->isChecked();
    LVEditor->setEnabled(enabled);
    CmdAdd->setEnabled(enabled);
    const bool selected = SelectedHandlerRow() != nullptr;
    CmdEdit->setEnabled(enabled && selected);
    CmdRem->setEnabled(enabled && selected);
}

void frmConfigure::AddHandlerRow(const FileHandler &handler)
{
    auto *item = new QTreeWidgetItem(LVEditor, {handler.FilePatterns(), FileHandler::ActionName(handler.Action()),
                                                handler.ApplicationPath()});
    item->setData(0, kHandlerKeyRole, handler.UniqueID());
}

QTreeWidgetItem *frmConfigure::SelectedHandlerRow() const
{
    const auto selected = LVEditor->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void frmConfigure::CmdAdd_Click()
{
    try {
        if (LVEditor->topLevelItemCount() >= MaxFileHandlers) {
            ShowMessage(this, PromptIcon::Information, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("More than 20 handlers not supported!"));
            return;
        }
        frmFileType dialog(this);
        dialog.ShowNew(this);
        if (dialog.SaveTag() != QLatin1String("*"))
            return;
        const FileHandler handler = dialog.GetHandler();
        if (m_handlers.AddFileHandler(handler)) {
            AddHandlerRow(handler);
            UpdateHandlerControls();
        } else {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error !"),
                        QStringLiteral("Unable to add complete this action!"));
        }
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdAdd_Click"));
    }
}

void frmConfigure::CmdEdit_Click()
{
    try {
        QTreeWidgetItem *row = SelectedHandlerRow();
        if (!row || !CmdEdit->isEnabled())
            return;
        const QString oldKey = row->data(0, kHandlerKeyRole).toString();
        if (!m_handlers.ContainsKey(oldKey))
            return;
        frmFileType dialog(this);
        dialog.ShowEdit(this, m_handlers.Item(oldKey));
        if (dialog.SaveTag() != QLatin1String("*"))
            return;

        // Try the change on a copy, so a refused handler leaves the old one in place.
        FileHandlerCollection changed = m_handlers;
        changed.Remove(oldKey);
        const FileHandler edited = dialog.GetHandler();
        if (!changed.AddFileHandler(edited)) {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error !"),
                        QStringLiteral("Unable to add complete this action!"));
            return;
        }
        m_handlers = changed;
        delete row;
        AddHandlerRow(edited);
        LVEditor->setCurrentItem(LVEditor->topLevelItem(LVEditor->topLevelItemCount() - 1));
        UpdateHandlerControls();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdEdit_Click"));
    }
}

void frmConfigure::CmdRem_Click()
{
    try {
        QTreeWidgetItem *row = SelectedHandlerRow();
        if (!row)
            return;
        const PromptButton answer = AskBeforeDestroying(this, QStringLiteral("Delete ?"),
                                                QStringLiteral("Delete the selected file action ?"));
        if (answer == PromptButton::No)
            return;
        const QString key = row->data(0, kHandlerKeyRole).toString();
        if (m_handlers.ContainsKey(key))
            m_handlers.Remove(key);
        delete row;
        UpdateHandlerControls();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdRem_Click"));
    }
}

void frmConfigure::UpdateSoundRow(int row)
{
    const bool checked = ChkSound.at(row)->isChecked();
    txtSound.at(row)->setEnabled(checked);
    CmdSound.at(row)->setEnabled(checked);
}

void frmConfigure::ChkSound_Click(int row)
{
    try {
        UpdateSoundRow(row);
        if (ChkSound.at(row)->isChecked() && txtSound.at(row)->text().isEmpty())
            CmdSound_Click(row);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("ChkSound_Click"));
    }
}

void frmConfigure::CmdSound_Click(int row)
{
    try {
        FileRequest request;
        request.kind = FileRequest::Kind::OpenFile;
        request.title = QStringLiteral("Select Sound File");
        request.filter = QStringLiteral("Sound Files (*.wav)");
        const auto chosen = Prompts::current().chooseFile(this, request);
        if (chosen && !chosen->isEmpty())
            txtSound.at(row)->setText(*chosen);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdSound_Click"));
    }
}

void frmConfigure::SetFontSample(int row, const QString &family, double pointSize, const QString &caption)
{
    QLabel *sample = lblFont.at(row);
    QFont font = MakeFont(family, pointSize > 0 ? pointSize : sample->font().pointSizeF());
    sample->setFont(font);
    sample->setText(caption);
}

void frmConfigure::CmdFont_Click(int row)
{
    try {
        const FontSlotInfo &slot = FontSlotInfoOf(row);
        QList<int> sizes;
        for (int size = static_cast<int>(std::ceil(slot.minSize)); size <= slot.maxSize; ++size)
            sizes << size;
        const auto chosen = Prompts::current().chooseFont(this, lblFont.at(row)->font(), QStringLiteral("Font"), sizes);
        if (!chosen)
            return;
        const double size = ClampFontSize(row, chosen->pointSizeF() > 0 ? chosen->pointSizeF() : 0);
        SetFontSample(row, chosen->family(), size, chosen->family() + QStringLiteral(", ") + FontSizeText(size));
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdFont_Click"));
    }
}

void frmConfigure::OKButton_Click()
{
    try {
        for (int row = 0; row < AlertSoundRows; ++row) {
            if (ChkSound.at(row)->isChecked() && txtSound.at(row)->text().isEmpty()) {
                ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error"),
                            QStringLiteral("You have not selected sound file!"));
                return;
            }
        }

        const QString programPath =
            QLatin1Char('"') + QCoreApplication::applicationFilePath() + QLatin1Char('"');
        if (ChkSyst.at(0)->isChecked()) {
            RegisterFileType(programPath, QStringLiteral(".xqr"), QStringLiteral("ZavUdeTask"),
                             QStringLiteral("Ftp Qor Job File"), 7);
        } else {
            UnregisterFileType(programPath, QStringLiteral(".xqr"), QStringLiteral("ZavUdeTask"),
                               QStringLiteral("Ftp Qor Job File"));
        }

        const QList<QList<QCheckBox *>> pages{Check1, ChkTask, ChkHist, ChkSyst};
        for (int page = 0; page < pages.size(); ++page) {
            QString digits;
            for (QCheckBox *box : pages.at(page))
                digits += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
            m_optionString[page] = digits;
        }

        if (!SaveSettingToFile())
            return;
        m_okTag = QStringLiteral("*");
        accept();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("OKButton_Click"));
    }
}

void frmConfigure::CancelButton_Click()
{
    try {
        reject();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CancelButton_Click"));
    }
}

bool frmConfigure::SaveSettingToFile()
{
    QString error;
    try {
        QList<SoundAlertRow> sounds;
        for (int row = 0; row < AlertSoundRows; ++row)
            sounds.append({ChkSound.at(row)->isChecked() ? 1 : 0, txtSound.at(row)->text()});
        QList<FontChoiceRow> fonts;
        for (int row = 0; row < FontSlotCount; ++row) {
            const QFont font = lblFont.at(row)->font();
            fonts.append({ChkFont.at(row)->isChecked() ? 1 : 0, font.family(), font.pointSizeF()});
        }
        if (WriteConfFile(ComposeConfFile(m_optionString, m_handlers, sounds, fonts), &error))
            return true;
        LogErrorToFile(kObjectName, QStringLiteral("SaveSettingToFile"), ErrorNumber::PathFileAccess, error);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("SaveSettingToFile"));
    }
    QString text = QStringLiteral("The settings could not be saved!");
    if (!error.isEmpty())
        text += QStringLiteral("\n\n") + error;
    ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("Error"), text);
    return false;
}
