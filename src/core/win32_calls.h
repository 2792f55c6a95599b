// The platform calls the core makes.
#pragma once
#include "platform/win32/com.h"
#include "platform/win32/dc.h"
#include "platform/win32/gdi.h"
#include "platform/win32/kernel.h"
#include "platform/win32/messages.h"
#include "platform/win32/types.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"
#include "platform/directx/ddraw.h"
#include "platform/directx/dmusic.h"
