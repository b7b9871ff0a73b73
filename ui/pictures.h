// The windows' pictures, all drawn with QPainter at start-up: toolbar
// pictures with their greyed forms, the small button pictures, the category
// and format icons of the catalogue lists, the empty-list picture and the logo.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

enum class TToolbarPicture { Add, Remove, Clear, Start, Stop, Pause, Resume, Options, Skin };
enum class TButtonPicture { MoveUp, MoveDown, Rename, Play, Pause, Stop, Mute, Unmute, Snapshot, Settings, FullScreen };

// 32 × 32.
QPixmap ToolbarPicture(TToolbarPicture APicture);
// The disabled form of a picture: grey, lighter, same shape.
QPixmap GreyedPicture(const QPixmap &APicture);
// A toolbar icon: the picture for the enabled button, its greyed form for the
// disabled one, so switching the state switches the picture with it.
QIcon ToolbarIcon(TToolbarPicture APicture);

// 16 × 16, with greyed forms.
QIcon ButtonIcon(TButtonPicture APicture);

// The category icons (32 × 32) by their catalogue image index, and the two
// format images that alternate down the format list.
QIcon CategoryIcon(int AImageIndex);
QIcon FormatIcon(int AImageIndex);

// What covers the file list while it is empty.
QPixmap EmptyListPicture(QSize ASize);
// The product name drawn for the toolbar's right end and the about window.
QPixmap LogoPicture(QSize ASize);
QIcon ApplicationIcon();
