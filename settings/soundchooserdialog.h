#pragma once
// A sound selection dialog ("Alert Wav", "Online Wav"): browse drives and folders, pick a WAV file
// (or leave "DEFAULT" for the default sound), hear it with "Play", and Select it. Modeless, without
// an owner window; deletes itself when it closes.
//
// Invariants:
//  - SelectedSoundName is "DEFAULT" after opening and after every folder change, and the name of a
//    listed WAV file after one is picked.
//  - Select changes the setting in memory only once the file is in the program folder and graph.txt
//    holds the name; on any failure the dialog stays open, nothing changes and the cause is shown.
//    A file already in the program folder under that name is never replaced.
//  - "DEFAULT" itself is never written: the default is the empty setting.
//
// Control objectNames: currentWav (the current setting), driveList, folderList, wavList, selectedWav
// (SelectedSoundName), selectButton, playButton, cancelButton.
#include "settings/services.h"
#include "settings/soundbrowse.h"
#include "store/graphkeys.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qos {

enum class SoundSetting { Alert, Online };

// Where a sound dialog browses: its drives and the folder it opens in.
struct SoundBrowsing {
    std::function<QList<SoundDrive>()> drives = ReadableDrives;
    QString startFolder; // empty: the process's current folder
};

inline constexpr char DefaultSoundName[] = "DEFAULT";

class SoundChooserDialog : public QDialog {
    Q_OBJECT
public:
    SoundChooserDialog(SoundSetting setting, const SettingsServices &services, const SoundBrowsing &browsing,
                       QWidget *parent = nullptr);

    SoundSetting setting() const { return m_setting; }
    const QString &SelectedSoundName() const { return m_selected; }
    const QString &folder() const { return m_folder; }

    QComboBox *driveList() const { return m_driveList; }
    QListWidget *folderList() const { return m_folderList; }
    QListWidget *wavList() const { return m_wavList; }
    QPushButton *selectButton() const { return m_select; }
    QPushButton *playButton() const { return m_play; }

public Q_SLOTS:
    // The operator picked drive index of the drive list.
    void DriveChange(int index);
    // The folder list moves to folder (a row opened in the folder list); false when it cannot be listed.
    bool FolderChange(const QString &folder);
    void Select();
    void Play();

private:
    void buildControls();
    void showFolder(const QString &folder);
    void setSelected(const QString &name);
    QString &value() const;
    Key key() const;
    void choose(const QString &name);
    void fail(const QString &text);

    SoundSetting m_setting;
    SettingsServices m_services;
    QList<SoundDrive> m_drives;
    int m_rememberedDrive = 0;
    QString m_folder;
    QString m_selected;
    QLabel *m_current = nullptr;
    QComboBox *m_driveList = nullptr;
    QListWidget *m_folderList = nullptr;
    QListWidget *m_wavList = nullptr;
    QLabel *m_selectedLabel = nullptr;
    QPushButton *m_select = nullptr;
    QPushButton *m_play = nullptr;
};

} // namespace qos
