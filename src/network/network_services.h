// What the library core calls of networking and downloads.
#pragma once
#include "platform/win32/types.h"

int InitDownloadTable();
int EndDownloadTable();
int StopNetWorkLayer();
int PumpNetWorkMessages(int closeLost);
int ProcessDownloads();
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event);
