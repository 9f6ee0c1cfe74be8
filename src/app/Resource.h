// Command identifiers and the user-visible strings of the main window: menu
// texts, status-bar prompts and tooltips. The numbers are the command ids the
// program's commands have always had, so accelerators, menus and toolbar
// buttons that send the same command share one id.
#pragma once

// The program's own commands.
inline constexpr int ID_PLAY_PLAY = 32771;
inline constexpr int ID_PLAY_STOP = 32772;
inline constexpr int ID_VIEW_ZOOM_OUT = 32773;
inline constexpr int ID_VIEW_ZOOM_IN = 32774;
inline constexpr int ID_VIEW_ZOOM_1_1 = 32775;
inline constexpr int ID_EDIT_FIND_LOOP = 32776;
inline constexpr int ID_EDIT_SPECTRAL_FILTER = 32777;
inline constexpr int ID_EDIT_FIND_LOOP_CROSSFADE = 32778;
inline constexpr int ID_EDIT_RELOAD = 32779;
inline constexpr int ID_EDIT_REMOVE_LOOP = 32781;
inline constexpr int ID_SAVE_AS_SHORTCUT = 32782;
inline constexpr int ID_VIEW_ZOOM_ALL = 32789;
inline constexpr int ID_VIEW_ZOOM_LOOP = 32790;
// Commands added after the first release, numbered on from the last one.
inline constexpr int ID_EDIT_AUTO_LOOP = 32791;            // Ctrl+J
inline constexpr int ID_EDIT_AUTO_LOOP_CROSSFADE = 32792;  // Ctrl+Shift+J
inline constexpr int ID_PLAY_SEAM = 32793;                 // Ctrl+P
inline constexpr int ID_VIEW_AMPLITUDE_IN = 32794;         // Ctrl+Up
inline constexpr int ID_VIEW_AMPLITUDE_OUT = 32795;        // Ctrl+Down
inline constexpr int ID_VIEW_AMPLITUDE_FIT = 32796;        // Ctrl+4
inline constexpr int ID_VIEW_SEAM = 32797;                 // Ctrl+E, shows or hides the seam view
// Editing history, typed loop points and the time ruler.
inline constexpr int ID_EDIT_UNDO = 32800;         // Alt+Backspace
inline constexpr int ID_EDIT_REDO = 32801;         // Ctrl+Y, Ctrl+Shift+Z
inline constexpr int ID_EDIT_SET_LOOP = 32802;     // Ctrl+G
inline constexpr int ID_VIEW_RULER = 32803;        // shows or hides the time ruler
inline constexpr int ID_VIEW_RULER_FRAMES = 32804; // the ruler counts frames instead of seconds
// Several loops, the release marker, trimming and loop export.
inline constexpr int ID_VIEW_LOOPS = 32820;         // Ctrl+5, shows or hides the Loops panel
inline constexpr int ID_EDIT_FIND_RELEASE = 32821;  // Ctrl+Shift+R
inline constexpr int ID_EDIT_TRIM_START = 32822;    // Ctrl+[
inline constexpr int ID_EDIT_TRIM_END = 32823;      // Ctrl+]
inline constexpr int ID_FILE_EXPORT_LOOP = 32824;   // Ctrl+Shift+X
// Tuning commands.
inline constexpr int ID_EDIT_DETECT_PITCH = 32840;         // Ctrl+T
inline constexpr int ID_EDIT_TUNING = 32841;               // Ctrl+Shift+T, the Tuning dialog
// Auto Loop placing several loops.
inline constexpr int ID_EDIT_AUTO_LOOPS = 32830;  // Ctrl+Alt+J

// Application-framework commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;  // … ID_FILE_MRU_FILE1 + 15
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_INDEX = 57666;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_HELP_USING = 57668;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_DEFAULT_HELP = 57671;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// Entries of the recent-file list.
inline constexpr int kRecentFileCount = 6;

// The settings (recent files, window placement) are kept under organisation
// and application "Ringseam" (~/.config/Ringseam/Ringseam.conf on Linux);
// earlier versions kept the recent-file list under the legacy names.
inline constexpr const char* kSettingsOrganization = "Ringseam";
inline constexpr const char* kSettingsApplication = "Ringseam";
inline constexpr const char* kLegacySettingsOrganization = "Local AppWizard-Generated Applications";
inline constexpr const char* kLegacySettingsApplication = "Quorvel";
inline constexpr const char* kIdleMessage = "For Help, press F1";
inline constexpr const char* kRecentFilePrompt = "Open this document";

// Status-bar prompt and tooltip of a command ("" when it has none).
struct CommandString {
    int nID;
    const char* pszPrompt;
    const char* pszTip;
};

inline constexpr CommandString kCommandStrings[] = {
    {ID_PLAY_PLAY, "Play Wave", "Play (Alt+P)"},
    {ID_PLAY_STOP, "Stop Playing", "Stop (Alt+S)"},
    {ID_PLAY_SEAM, "Play from one second before the loop end, then loop", "Play Seam (Ctrl+P)"},
    {ID_VIEW_ZOOM_OUT, "Zoom Out", "Zoom Out (Shift+Z)"},
    {ID_VIEW_ZOOM_IN, "Zoom In", "Zoom In (Ctrl+Z)"},
    {ID_VIEW_ZOOM_1_1, "Zoom 1:1", "Zoom 1:1 (Ctrl+1)"},
    {ID_EDIT_FIND_LOOP, "Find best loop without crossfade", "Best Loop (Ctrl+K)"},
    {ID_EDIT_FIND_LOOP_CROSSFADE, "Find best loop and crossfade", "Best Loop + Crossfade (Ctrl+L)"},
    {ID_EDIT_AUTO_LOOP, "Place a seamless loop in the steady part of the sound, ignoring the loop set",
     "Auto Loop (Ctrl+J)"},
    {ID_EDIT_AUTO_LOOP_CROSSFADE, "Reload, place a seamless loop in the steady part and crossfade",
     "Auto Loop + Crossfade (Ctrl+Shift+J)"},
    {ID_EDIT_RELOAD, "Reload Wave", "Reload Wave (Ctrl+R)"},
    {ID_EDIT_REMOVE_LOOP, "Remove loop", "Remove Loop (Ctrl+DEL)"},
    {ID_SAVE_AS_SHORTCUT, "Save As ... the active document", "Save As ..."},
    {ID_VIEW_ZOOM_ALL, "Show All", "Shows whole wave (Ctrl+2)"},
    {ID_VIEW_ZOOM_LOOP, "Zoom On Loop", "Shows whole loop (Ctrl+3)"},
    {ID_VIEW_AMPLITUDE_IN, "Magnify the waveform's amplitude", "Zoom Amplitude In (Ctrl+Up)"},
    {ID_VIEW_AMPLITUDE_OUT, "Reduce the waveform's amplitude", "Zoom Amplitude Out (Ctrl+Down)"},
    {ID_VIEW_AMPLITUDE_FIT, "Scale the waveform so that its peak fills the lane", "Fit Amplitude (Ctrl+4)"},
    {ID_VIEW_SEAM, "Show or hide the seam: the loop end running into the loop start", "Seam View (Ctrl+E)"},
    {ID_EDIT_UNDO, "Take back the last change of the loop or the frames", "Undo (Alt+Backspace)"},
    {ID_EDIT_REDO, "Bring back the change last taken back", "Redo (Ctrl+Y)"},
    {ID_EDIT_SET_LOOP, "Type the loop start, end or length in frames or seconds", "Set Loop (Ctrl+G)"},
    {ID_VIEW_RULER, "Show or hide the time ruler above the waveform", "Time Ruler"},
    {ID_VIEW_RULER_FRAMES, "Count the time ruler in frames instead of seconds", "Ruler in Frames"},
    {ID_VIEW_LOOPS, "Show or hide the list of loops and the release marker", "Loops (Ctrl+5)"},
    {ID_EDIT_FIND_RELEASE, "Place the release marker where the level starts its final fall after the last loop",
     "Find Release (Ctrl+Shift+R)"},
    {ID_EDIT_TRIM_START, "Cut the silence before the sound, with a short fade-in", "Trim Start (Ctrl+[)"},
    {ID_EDIT_TRIM_END, "Cut the tail after the sound has decayed, with a short fade-out", "Trim End (Ctrl+])"},
    {ID_FILE_EXPORT_LOOP, "Save the frames of the chosen loop alone as a sample that loops", "Export Loop"},
    {ID_EDIT_DETECT_PITCH, "Detect the pitch of the steady part and store it as the unity note and fine tune",
     "Detect Pitch (Ctrl+T)"},
    {ID_EDIT_TUNING, "Set the unity note and fine tune by hand, beside the detected pitch",
     "Tuning (Ctrl+Shift+T)"},
    {ID_EDIT_AUTO_LOOPS, "Place several distinct seamless loops in the steady part, replacing every loop",
     "Auto Loop... (Ctrl+Alt+J)"},
    {ID_FILE_NEW, "Create a new document", "New"},
    {ID_FILE_OPEN, "Open an existing document", "Open"},
    {ID_FILE_SAVE, "Save the active document", "Save"},
    {ID_FILE_SAVE_AS, "Save the active document with a new name", "Save As"},
    {ID_APP_ABOUT, "Display program information, version number and copyright", "About"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents", "Exit"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar", "Toggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar", "Toggle StatusBar"},
};

// The prompt and tip of nID, or null when the command has no string.
inline const CommandString* FindCommandString(int nID)
{
    for (const CommandString& s : kCommandStrings)
        if (s.nID == nID)
            return &s;
    return nullptr;
}
