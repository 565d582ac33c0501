#pragma once
// Fonts and Qt's own texts as on a Chinese Windows desktop. Needs a QApplication.

namespace platform {
// Where 宋体 (SimSun) is missing, a Song-style face stands in for it, so that the
// windows keep their designed widths; where it exists it is used unchanged. Standard
// buttons read 确定 and 取消 through Qt's Chinese translation.
void setUpChineseDesktop();
} // namespace platform
