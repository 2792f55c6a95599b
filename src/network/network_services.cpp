// Networking and downloads as the library core reaches them, until the network subsystem is built here: the
// download table is empty and the network layer is not started (it has no socket window).
#include "network/network_services.h"

#include "core/log.h"

int InitDownloadTable() { return 0; }
int EndDownloadTable() { return 0; }

int StopNetWorkLayer() {
  AppLogWrite("ネットワーク関連の終了処理を行います \n");
  AppLogWrite("ネットワーク関連の終了処理は完了しました\n");
  return 0;
}

int PumpNetWorkMessages(int) { return 0; }
int ProcessDownloads() { return 0; }
LRESULT HandleSocketEvent(HWND, UINT, WPARAM, LPARAM) { return 1; }
