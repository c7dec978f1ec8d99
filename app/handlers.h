// The handlers bound to the main window's events, and the routines they share.
#pragma once

namespace tavrel::app {

// Window created (event 0 of the main window).
void WindowCreated();
void FillSystemInfo();
void CheckForUpdate();

// 超级按钮1 clicked.
void RefreshOrConfigure();
void DetectInstalledJdk();
void ConfigureEnvironment();

// 按钮1 clicked; 时钟1 ticks.
void DownloadClicked();
void ProgressTick();

// 状态条1: left button pressed anywhere on the bar.
void OpenSiteClicked();

}  // namespace tavrel::app
