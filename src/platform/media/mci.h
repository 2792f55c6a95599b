// The media control interface as far as music needs it: the "sequencer" device, which plays Standard MIDI
// Files (recognised by content) through the General MIDI synthesiser, with open, play (with completion
// notices to a window), status of its output port and close.
#pragma once
#include "platform/win32/types.h"

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

// Commands.
constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_STATUS = 0x0814;

// Flags common to the commands, and of open, play and status.
constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_FROM = 0x00000004;
// Play: at the end start again from the beginning, at the very next frame, without a notice.
constexpr DWORD MCI_DGV_PLAY_REPEAT = 0x00010000;
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;
constexpr DWORD MCI_STATUS_ITEM = 0x00000100;
constexpr DWORD MCI_SEQ_STATUS_PORT = 0x00004003;

// Output ports the sequencer reports: the MIDI mapper, or none when the machine has no synthesiser.
constexpr DWORD MIDI_MAPPER = 0xFFFF;
constexpr DWORD MCI_SEQ_NONE = 65533;

// The status (wParam) of MM_MCINOTIFY; lParam holds the device identifier.
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 0x0001;
constexpr WPARAM MCI_NOTIFY_SUPERSEDED = 0x0002;
constexpr WPARAM MCI_NOTIFY_ABORTED = 0x0004;

// Errors (0 is success).
constexpr MCIERROR MCIERR_BASE = 256;
constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;
constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = MCIERR_BASE + 41;
constexpr MCIERROR MCIERR_SEQ_PORT_INUSE = MCIERR_BASE + 81;
constexpr MCIERROR MCIERR_SEQ_NOMIDIPRESENT = MCIERR_BASE + 87;

struct MCI_OPEN_PARMSA {
  DWORD_PTR dwCallback;
  MCIDEVICEID wDeviceID;
  LPCSTR lpstrDeviceType;
  LPCSTR lpstrElementName;
  LPCSTR lpstrAlias;
};

struct MCI_PLAY_PARMS {
  DWORD_PTR dwCallback;
  DWORD dwFrom;  // milliseconds
  DWORD dwTo;  // not supported: plays to the end
};

struct MCI_STATUS_PARMS {
  DWORD_PTR dwCallback;
  DWORD_PTR dwReturn;
  DWORD dwItem;
  DWORD dwTrack;
};

struct MCI_GENERIC_PARMS {
  DWORD_PTR dwCallback;
};

// Sends a command to a device (MCI_OPEN: to none, device 0). Completion notices are posted as MM_MCINOTIFY to
// the window in dwCallback; a play's notice arrives when the song's last event has been played by the mixer.
// Failures the headless host can inject: "mciSendCommandA:MCI_OPEN", ":MCI_PLAY", ":MCI_STATUS", ":MCI_CLOSE".
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);
