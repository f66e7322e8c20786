#include "settings/soundchooserdialog.h"

#include "platform/mnemonics.h"

#include "store/filecopy.h"
#include "store/graphfile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace qos {

namespace {

struct SoundTexts {
    const char *caption;
    const char *selectButton;
    Key key;
    QString MainSettings::*field;
    const char *loaded;
    const char *defaultLoaded;
};

const SoundTexts Texts[] = {
    {"Alert Wav", "Select Alert Wav", Key::AlertWav, &MainSettings::ALERTWAV, "Alert Wav Successfully Loaded",
     "Default Alert Wav Successfully Loaded"},
    {"Online Wav", "Select Online Wav", Key::OnlineWav, &MainSettings::ONLINEWAV,
     "Online Wav Successfully Loaded", "Default Online Wav Successfully Loaded"},
};

const SoundTexts &TextsOf(SoundSetting setting)
{
    return Texts[int(setting)];
}

QLabel *NamedLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton *NamedButton(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

constexpr int PathRole = Qt::UserRole;

} // namespace

SoundChooserDialog::SoundChooserDialog(SoundSetting setting, const SettingsServices &services,
                                       const SoundBrowsing &browsing, QWidget *parent)
    : QDialog(parent)
    , m_setting(setting)
    , m_services(services)
    , m_drives(browsing.drives ? browsing.drives() : QList<SoundDrive>{})
{
    setObjectName(QStringLiteral("SoundChooserDialog"));
    setWindowTitle(QLatin1String(TextsOf(setting).caption));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    buildControls();

    // Load: the current setting, then the drive and folder of the start folder.
    const QString now = value();
    m_current->setText(now.isEmpty() ? QLatin1String(DefaultSoundName) : now);
    const QString start = browsing.startFolder.isEmpty() ? QDir::currentPath() : browsing.startFolder;
    m_rememberedDrive = DriveOf(m_drives, start);
    {
        const QSignalBlocker quiet(m_driveList);
        for (const SoundDrive &drive : std::as_const(m_drives))
            m_driveList->addItem(drive.text, drive.path);
        m_driveList->setCurrentIndex(m_rememberedDrive);
    }
    const QString top = m_drives.isEmpty() ? QDir::rootPath() : m_drives[m_rememberedDrive].path;
    showFolder(CanBrowse(start) ? start : top);
    AssignMnemonics(this);
}

void SoundChooserDialog::buildControls()
{
    const SoundTexts &texts = TextsOf(m_setting);
    m_current = NamedLabel("currentWav", QString(), this);
    m_driveList = new QComboBox(this);
    m_driveList->setObjectName(QStringLiteral("driveList"));
    m_folderList = new QListWidget(this);
    m_folderList->setObjectName(QStringLiteral("folderList"));
    m_wavList = new QListWidget(this);
    m_wavList->setObjectName(QStringLiteral("wavList"));
    m_selectedLabel = NamedLabel("selectedWav", QString(), this);
    m_select = NamedButton("selectButton", QLatin1String(texts.selectButton), this);
    m_play = NamedButton("playButton", QStringLiteral("Play"), this);
    QPushButton *cancel = NamedButton("cancelButton", QStringLiteral("Cancel"), this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(NamedLabel(nullptr, QStringLiteral("Current Wav: "), this), 0, 0);
    grid->addWidget(m_current, 0, 1, 1, 2);
    // Each caption names its list for a screen reader too.
    const auto caption = [this](const QString &text, QWidget *buddy) {
        QLabel *l = NamedLabel(nullptr, text, this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(caption(QStringLiteral("Drive:"), m_driveList), 1, 0);
    grid->addWidget(m_driveList, 1, 1);
    grid->addWidget(caption(QStringLiteral("*.wav Files"), m_wavList), 1, 2);
    grid->addWidget(caption(QStringLiteral("Folder:"), m_folderList), 2, 0, Qt::AlignTop);
    grid->addWidget(m_folderList, 2, 1);
    grid->addWidget(m_wavList, 2, 2);
    grid->addWidget(NamedLabel(nullptr, QStringLiteral("Wav Sound:"), this), 3, 0);
    grid->addWidget(m_selectedLabel, 3, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_select);
    buttons->addWidget(m_play);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    m_folderList->setMinimumSize(220, 200);
    m_wavList->setMinimumSize(180, 200);

    connect(m_driveList, &QComboBox::currentIndexChanged, this, &SoundChooserDialog::DriveChange);
    connect(m_folderList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { FolderChange(item->data(PathRole).toString()); });
    connect(m_wavList, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> picked = m_wavList->selectedItems();
        if (!picked.isEmpty())
            setSelected(picked.first()->text()); // ListClick
    });
    connect(m_select, &QPushButton::clicked, this, &SoundChooserDialog::Select);
    connect(m_play, &QPushButton::clicked, this, &SoundChooserDialog::Play);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString &SoundChooserDialog::value() const
{
    return m_services.settings.*TextsOf(m_setting).field;
}

Key SoundChooserDialog::key() const
{
    return TextsOf(m_setting).key;
}

void SoundChooserDialog::DriveChange(int index)
{
    if (index < 0 || index >= m_drives.size())
        return;
    const QString top = m_drives[index].path;
    if (CanBrowse(top)) {
        m_rememberedDrive = index;
        showFolder(top);
        return;
    }
    // No medium, gone, or not readable: back to the drive shown before, silently.
    {
        const QSignalBlocker quiet(m_driveList);
        m_driveList->setCurrentIndex(m_rememberedDrive);
    }
    showFolder(m_folder);
}

bool SoundChooserDialog::FolderChange(const QString &folder)
{
    if (!CanBrowse(folder))
        return false;
    showFolder(folder);
    return true;
}

void SoundChooserDialog::showFolder(const QString &folder)
{
    m_folder = folder;
    const QString top = m_drives.isEmpty() ? QDir::rootPath() : m_drives[m_rememberedDrive].path;
    {
        const QSignalBlocker quiet(m_folderList);
        m_folderList->clear();
        for (const FolderRow &row : FolderRows(top, folder)) {
            auto *item =
                new QListWidgetItem(QString(row.depth * 2, QLatin1Char(' ')) + row.name, m_folderList);
            item->setData(PathRole, row.path);
            if (row.current) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                m_folderList->setCurrentItem(item);
            }
        }
    }
    {
        const QSignalBlocker quiet(m_wavList);
        m_wavList->clear();
        m_wavList->addItems(WavFiles(VisibleFiles(folder)));
    }
    setSelected(QLatin1String(DefaultSoundName));
}

void SoundChooserDialog::setSelected(const QString &name)
{
    m_selected = name;
    m_selectedLabel->setText(name);
    m_play->setEnabled(name != QLatin1String(DefaultSoundName));
}

void SoundChooserDialog::Play()
{
    if (m_selected == QLatin1String(DefaultSoundName))
        return;
    const QString path = QDir(m_folder).filePath(m_selected);
    if (!m_services.sound.play(path)) {
        m_services.messages.show(
            QStringLiteral("%1 cannot be played: it is missing, unreadable or not a WAV file.")
                .arg(QDir::toNativeSeparators(path)),
            MessageBoxes::Icon::Exclamation);
    }
}

void SoundChooserDialog::Select()
{
    choose(m_selected == QLatin1String(DefaultSoundName) ? QString() : m_selected);
}

void SoundChooserDialog::choose(const QString &name)
{
    const SettingsServices &s = m_services;
    QByteArray line;
    if (Status fits = KeyLine(key(), name, line); !fits) {
        fail(fits.error);
        return;
    }
    const QString target = QDir(s.programFolder).filePath(name);
    bool copied = false;
    if (!name.isEmpty()) {
        if (Status c = CopyFileIfAbsent(QDir(m_folder).filePath(name), target, copied, s.ops); !c) {
            fail(c.error);
            return;
        }
    }
    if (Status w = RewriteMainSetting(s.programFolder, s.settings, key(), name, s.pleaseWait, s.ops); !w) {
        if (copied)
            QFile::remove(target); // the copy made for this choice only
        fail(w.error);
        return;
    }
    value() = name;
    setSelected(name);
    MessageBoxes &messages = s.messages;
    const QString done =
        QLatin1String(name.isEmpty() ? TextsOf(m_setting).defaultLoaded : TextsOf(m_setting).loaded);
    close();
    messages.show(done);
}

void SoundChooserDialog::fail(const QString &text)
{
    m_services.messages.show(QStringLiteral("The sound was not changed. %1").arg(text),
                             MessageBoxes::Icon::Critical);
}

} // namespace qos
