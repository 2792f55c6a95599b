// What the library core calls of sound and music: start and end, the pump's refills and polling, notifications.
#pragma once

int SoundSystemStartup();
int SoundSystemShutdown();
int MusicStartupStub();
int MusicShutdown();
int StopCurrentMusic();
int RefillAllStreamSounds();
int PollMusicHandles();
int OnMciNotify();
int OnDirectShowMusicEvent();
