// Identifiers of the main window and its controls.
#pragma once

#include "app/control_types.h"

namespace tavrel::app {

inline constexpr WindowId kMainWindow = 0x52010001;

namespace ctl {
inline constexpr ControlId kGroupSystem = 0x16010002;    // 分组框1
inline constexpr ControlId kLabelOs = 0x16010006;        // 标签1
inline constexpr ControlId kOsText = 0x16010007;         // 标签_操作系统
inline constexpr ControlId kLabelType = 0x16010008;      // 标签3
inline constexpr ControlId kSystemType = 0x1601000d;     // 标签_系统类型
inline constexpr ControlId kLabelJava = 0x16010009;      // 标签4
inline constexpr ControlId kJavaVersion = 0x1601000a;    // 标签_Java版本
inline constexpr ControlId kSuperButton = 0x16012c8e;    // 超级按钮1
inline constexpr ControlId kReleaseBox = 0x1601000f;     // 组合框1
inline constexpr ControlId kInstallButton = 0x16010010;  // 按钮1
inline constexpr ControlId kProgressBar = 0x16010011;    // 进度条1
inline constexpr ControlId kPercentLabel = 0x16012ca1;   // 透明标签1
inline constexpr ControlId kTimer = 0x16012c7c;          // 时钟1
inline constexpr ControlId kStatusBar = 0x16012ca3;      // 状态条1
}  // namespace ctl

}  // namespace tavrel::app
