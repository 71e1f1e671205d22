#pragma once

#include <QImage>

// The log pane's default bullet pictures, drawn by the program itself:
// 101 information sign, 102 error cross, 103 warning triangle,
// 104 question mark, 106 smiling face. Any other number gives no picture.
QImage DefaultBulletPicture(int iconId);
