# The package's own small interface, for a user who starts it by a double click
# (full user interface): one dialog that asks for the Navigator's folder and
# whether the bridge becomes the default provider, progress, the end of setup,
# and the dialogs Windows Installer itself needs for errors and files in use.
# Repair and uninstall show progress only; /qn and /qb show none of it.
# Sourced by build-msi.sh: ui_tables FOLDER PROGRAM_FILES_PROPERTY writes the
# tables as .idt files into FOLDER, and ui_sequence PACKAGE adds the dialogs
# to the package's InstallUISequence.
#
# The folder dialog (FolderDlg) comes before the costing, so the folder typed or
# browsed to is simply NAVIGATORDIR. Its check (CheckNavigatorChoice in the
# package's setup DLL) runs before the dialog shows and again on Install: a
# folder that fails it brings the dialog back with the reason in one line and
# Install disabled, until the folder changes. The dialog is made anew rather
# than updated, since a dialog's texts are only formatted when it is made.

# One row: the fields joined by tabs.
ui_row() { local IFS=$'\t'; printf '%s\n' "$*"; }

# Dialog, Control and the event tables, with their column definitions.
ui_headers() { # folder
  printf '%s\n' $'Dialog\tHCentering\tVCentering\tWidth\tHeight\tAttributes\tTitle\tControl_First\tControl_Default\tControl_Cancel' \
    $'s72\ti2\ti2\ti2\ti2\tI4\tL128\ts50\tS50\tS50' $'Dialog\tDialog' >"$1/Dialog.idt"
  printf '%s\n' $'Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp' \
    $'s72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50' $'Control\tDialog_\tControl' >"$1/Control.idt"
  printf '%s\n' $'Dialog_\tControl_\tEvent\tArgument\tCondition\tOrdering' \
    $'s72\ts50\ts50\ts255\tS255\tI2' $'ControlEvent\tDialog_\tControl_\tEvent\tArgument\tCondition' \
    >"$1/ControlEvent.idt"
  printf '%s\n' $'Dialog_\tControl_\tAction\tCondition' $'s72\ts50\ts50\ts255' \
    $'ControlCondition\tDialog_\tControl_\tAction\tCondition' >"$1/ControlCondition.idt"
  printf '%s\n' $'Dialog_\tControl_\tEvent\tAttribute' $'s72\ts50\ts50\ts50' \
    $'EventMapping\tDialog_\tControl_\tEvent' >"$1/EventMapping.idt"
  printf '%s\n' $'TextStyle\tFaceName\tSize\tColor\tStyleBits' $'s72\ts32\ti2\tI4\tI2' \
    $'TextStyle\tTextStyle' >"$1/TextStyle.idt"
  printf '%s\n' $'Property\tValue' $'s72\tS64' $'CheckBox\tProperty' >"$1/CheckBox.idt"
  printf '%s\n' $'Key\tText' $'s72\tL255' $'UIText\tKey' >"$1/UIText.idt"
}

# Attributes of dialogs: 1 visible, 2 modal, 4 can be minimized, 16 keeps the
# modeless dialog (progress) up, 65536 the error dialog.
# Of controls: 1 visible, 2 enabled, 4 sunken, 65536 a text's transparent
# background or the progress bar's blocks, 131072 no & accelerators.
readonly ui_modal=3 ui_shown=3 ui_hidden=2 ui_field=7 ui_plain=131075 ui_title=196611

ui_dialog() { # name width height attributes first default cancel
  ui_row "$1" 50 50 "$2" "$3" "$4" '[ProductName] Setup' "$5" "$6" "$7" >>"$folder/Dialog.idt"
}
ui_control() { # dialog name type x y width height attributes property text next
  ui_row "$@" '' >>"$folder/Control.idt"
}
ui_event() { # dialog control event argument condition ordering
  ui_row "$@" >>"$folder/ControlEvent.idt"
}
ui_condition() { # dialog control action condition
  ui_row "$@" >>"$folder/ControlCondition.idt"
}
# A dialog's title line and the line above its buttons.
ui_frame() { # dialog title height
  ui_control "$1" Title Text 15 10 340 15 $ui_title '' "{\\NrwTitle}$2" ''
  ui_control "$1" BottomLine Line 0 $(($3 - 40)) 370 0 1 '' '' ''
}
# A button at one of the three places of the bottom row (1 is the rightmost).
ui_button() { # dialog name text place next
  ui_control "$1" "$2" PushButton $((360 - 70 * $4)) $(($height - 30)) 66 19 $ui_shown '' "$3" "$5"
}
# A dialog that ends setup: a title, what happened, and Finish.
ui_end_dialog() { # name title text
  local height=140
  ui_dialog "$1" 370 $height $ui_modal Finish Finish Finish
  ui_frame "$1" "$2" $height
  ui_control "$1" Description Text 15 35 340 60 $ui_plain '' "$3" ''
  ui_button "$1" Finish '&Finish' 1 ''
  ui_event "$1" Finish EndDialog Return 1 1
}

ui_folder_dialog() { # program files property
  local d=FolderDlg height=220
  ui_dialog $d 370 $height $ui_modal Folder Install Cancel
  ui_frame $d 'Install the IDE bridge into Norrow Navigator' $height
  ui_control $d Intro Text 15 32 340 26 $ui_plain '' \
    'IDEs find the bridge as a source control provider in the nrwapis folder of Norrow Navigator.' ''
  ui_control $d FolderLabel Text 15 64 340 12 $ui_shown '' \
    '&Folder of Norrow Navigator, the one that holds nrwnavigator.exe:' ''
  ui_control $d Folder Edit 15 78 270 17 $ui_field NAVIGATORDIR '' Browse
  ui_control $d Browse PushButton 290 77 66 19 $ui_shown '' '&Browse...' Default
  ui_control $d Problem Text 15 100 340 36 $ui_plain '' '[NrwFolderProblem]' ''
  ui_control $d Default CheckBox 15 146 340 17 $ui_shown DEFAULTPROVIDER \
    'make it the default source control provider' Install
  ui_button $d Install '&Install' 2 Cancel
  ui_button $d Cancel Cancel 1 Folder
  ui_event $d Install DoAction CheckNavigatorChoice 1 1
  ui_event $d Install EndDialog Return 'NrwFolderOk = "1"' 2
  ui_event $d Install NewDialog $d 'NOT NrwFolderOk = "1"' 3
  ui_event $d Cancel EndDialog Exit 1 1
  ui_event $d Browse '[NRWBROWSEDIR]' '[NAVIGATORDIR]' NAVIGATORDIR 1
  ui_event $d Browse '[NRWBROWSEDIR]' "[$1]" 'NOT NAVIGATORDIR' 2
  ui_event $d Browse NewDialog BrowseDlg 1 3
  # The reason shows, and Install is disabled, while the folder is the one
  # the check refused; a folder typed since is checked on Install.
  local refused='NrwCheckedDir = NAVIGATORDIR AND NOT NrwFolderOk = "1"'
  ui_condition $d Install Disable "$refused"
  ui_condition $d Install Enable "NOT ($refused)"
  ui_condition $d Problem Show 'NrwCheckedDir = NAVIGATORDIR'
  ui_condition $d Problem Hide 'NOT NrwCheckedDir = NAVIGATORDIR'
  ui_row DEFAULTPROVIDER 1 >>"$folder/CheckBox.idt"
}

ui_browse_dialog() {
  local d=BrowseDlg height=220
  ui_dialog $d 370 $height $ui_modal Path OK Cancel
  ui_frame $d 'The folder of Norrow Navigator' $height
  ui_control $d LookIn Text 15 36 45 12 $ui_shown '' '&Look in:' ''
  # 131072 and 262144: fixed and network drives.
  ui_control $d Combo DirectoryCombo 60 34 225 80 393219 NRWBROWSEDIR '' Up
  ui_control $d Up PushButton 290 33 66 19 $ui_shown '' '&Up' List
  ui_control $d List DirectoryList 15 56 340 84 $ui_field NRWBROWSEDIR '' Path
  ui_control $d PathLabel Text 15 150 45 12 $ui_shown '' '&Folder:' ''
  ui_control $d Path PathEdit 60 148 295 17 $ui_field NRWBROWSEDIR '' OK
  ui_button $d OK OK 2 Cancel
  ui_button $d Cancel Cancel 1 Combo
  ui_event $d Up DirectoryListUp 0 1 1
  ui_event $d OK '[NAVIGATORDIR]' '[NRWBROWSEDIR]' 1 1
  ui_event $d OK DoAction CheckNavigatorChoice 1 2
  ui_event $d OK NewDialog FolderDlg 1 3
  ui_event $d Cancel NewDialog FolderDlg 1 1
}

ui_progress_dialog() {
  local d=ProgressDlg height=140
  # Modeless (no 2): setup runs while it shows.
  ui_dialog $d 370 $height 5 Cancel Cancel Cancel
  ui_control $d BottomLine Line 0 $(($height - 40)) 370 0 1 '' '' ''
  local what
  for what in 'Installing:NOT Installed' 'Removing:REMOVE = "ALL"' \
    'Repairing:Installed AND NOT REMOVE = "ALL"'; do
    ui_control $d "Title${what%%:*}" Text 15 10 340 15 $((ui_title - 1)) '' \
      "{\\NrwTitle}${what%%:*} the IDE bridge" ''
    ui_condition $d "Title${what%%:*}" Show "${what#*:}"
  done
  ui_control $d ActionText Text 15 40 340 15 $ui_plain '' '' ''
  ui_row $d ActionText ActionText Text >>"$folder/EventMapping.idt"
  ui_control $d Progress ProgressBar 15 60 340 12 65537 '' '' ''
  ui_row $d Progress SetProgress Progress >>"$folder/EventMapping.idt"
  ui_button $d Cancel Cancel 1 ''
  ui_event $d Cancel SpawnDialog CancelDlg 1 1
}

ui_cancel_dialog() {
  local d=CancelDlg height=100
  ui_dialog $d 370 $height $ui_modal No No No
  ui_control $d Question Text 15 15 340 40 $ui_plain '' \
    'Cancel the setup of the IDE bridge? What it has done so far is undone.' ''
  ui_button $d Yes '&Yes' 2 No
  ui_button $d No '&No' 1 Yes
  ui_event $d Yes EndDialog Exit 1 1
  ui_event $d No EndDialog Return 1 1
}

# Windows Installer shows its errors in the dialog named by ErrorDialog: the
# text goes to ErrorText, and of the buttons named A, C, I, N, O, R and Y it
# shows those the error needs.
ui_error_dialog() {
  local d=ErrorDlg height=110 button name text event
  ui_dialog $d 370 $height 65543 ErrorText O C
  ui_control $d ErrorText Text 15 15 340 55 $ui_plain '' '' ''
  for button in A:Abort:ErrorAbort C:Cancel:ErrorCancel I:Ignore:ErrorIgnore N:No:ErrorNo \
    O:OK:ErrorOk R:Retry:ErrorRetry Y:Yes:ErrorYes; do
    IFS=: read -r name text event <<<"$button"
    ui_control $d "$name" PushButton 150 80 66 19 $ui_shown '' "$text" ''
    ui_event $d "$name" EndDialog "$event" 1 1
  done
}

# Files that setup must replace are held by running programs: the installer
# fills the list (FileInUseProcess) and takes the choice.
ui_files_in_use_dialog() {
  local d=FilesInUse height=220
  ui_dialog $d 370 $height 23 Retry Retry Exit
  ui_frame $d 'Files in use' $height
  ui_control $d Description Text 15 32 340 26 $ui_plain '' \
    'These programs use files that setup must change. Close them and choose Retry, or Ignore to go on (a restart completes the change), or Exit.' ''
  ui_control $d List ListBox 15 62 340 112 $ui_field FileInUseProcess '' Retry
  ui_button $d Retry '&Retry' 3 Ignore
  ui_button $d Ignore '&Ignore' 2 Exit
  ui_button $d Exit 'E&xit' 1 List
  local choice
  for choice in Retry Ignore Exit; do ui_event $d $choice EndDialog $choice 1 1; done
}

ui_tables() { # folder, program files property
  local folder="$1"
  ui_headers "$folder"
  ui_folder_dialog "$2"
  ui_browse_dialog
  ui_progress_dialog
  ui_cancel_dialog
  ui_error_dialog
  ui_files_in_use_dialog
  ui_end_dialog ExitDlg 'The IDE bridge is installed' \
    'It is in [NAVIGATORDIR]nrwapis. IDEs started from now on find it as a source control provider.'
  ui_end_dialog UserExitDlg 'Setup was cancelled' \
    'Nothing of the IDE bridge is installed; this computer is as it was.'
  ui_end_dialog FatalErrorDlg 'The IDE bridge could not be set up' \
    'Setup undid what it had done. To learn why, run it again from a command line with /l*v setup.log added, and read the lines that begin with "Norrow Navigator IDE bridge".'
  ui_row NrwDefault Tahoma 8 0 0 >>"$folder/TextStyle.idt"
  ui_row NrwTitle Tahoma 9 0 1 >>"$folder/TextStyle.idt"
  ui_row AbsentPath '' >>"$folder/UIText.idt"
  ui_row NewFolder 'Folder|New Folder' >>"$folder/UIText.idt"
}

# Where each dialog shows: the folder asked for in a first install with the
# full interface (NrwAsking), before the costing; progress in every case; the
# end of setup after a first install, and a failure always.
ui_sequence() { # package
  local step dialog condition sequence
  for step in 'FolderDlg:NrwAsking:140' 'ProgressDlg::1299' 'ExitDlg:NOT Installed:-1' \
    'UserExitDlg:NOT Installed:-2' 'FatalErrorDlg::-3'; do
    IFS=: read -r dialog condition sequence <<<"$step"
    msibuild "$1" -q "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$dialog', '$condition', $sequence)"
  done
  local property
  for property in DefaultUIFont:NrwDefault ErrorDialog:ErrorDlg ARPNOMODIFY:1; do
    msibuild "$1" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('${property%%:*}', '${property#*:}')"
  done
}
