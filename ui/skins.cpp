#include "ui/skins.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <map>

namespace {

// The colours of one skin. A skin is the common sheet below with these
// filled in, plus a few rules of its own.
struct TSkinLook {
  const char *Name;
  const char *Text, *Background, *Bar, *Panel, *Border;
  const char *Button, *ButtonHover, *ButtonPressed;
  const char *Accent, *AccentText, *Field, *FieldText, *Disabled;
  const char *Header, *GroupTitle, *Link, *Radius;
  const char *Extra;
};

#define VGRAD(a, b) "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 " a ", stop:1 " b ")"
#define GLASS(a, b, c, d) \
  "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 " a ", stop:0.49 " b ", stop:0.5 " c ", stop:1 " d ")"

constexpr TSkinLook Looks[SkinCount] = {
    {"OFFICE2007蓝色", "#15428b", VGRAD("#e3efff", "#c5daf2"), GLASS("#f1f7ff", "#dbe8f9", "#c7dbf5", "#d9e7f8"),
     "rgba(255,255,255,120)", "#8db2e3", GLASS("#ffffff", "#e6effb", "#d3e3f7", "#e3eefb"),
     GLASS("#fff9e1", "#ffeeb6", "#ffd86b", "#ffe69e"), GLASS("#f8c57c", "#fbb25a", "#f99d37", "#fdc277"),
     "#ffd36b", "#15428b", "#ffffff", "#0b2d62", "#8fa7c7", VGRAD("#f4f8fd", "#d5e3f4"), "#15428b", "#0a58c2",
     "3px", ""},
    {"金属光泽", "#202020", VGRAD("#eeeeee", "#b9bdc2"), GLASS("#fafafa", "#d9dcdf", "#c3c7cc", "#d5d8dc"),
     "rgba(255,255,255,90)", "#7d8288", GLASS("#fdfdfd", "#e2e4e7", "#c9ccd1", "#dfe1e4"),
     GLASS("#ffffff", "#eef1f5", "#d6dde6", "#e9edf2"), VGRAD("#b4b9bf", "#d9dcdf"), "#5b7fa6", "#ffffff",
     "#fbfbfb", "#202020", "#8c9096", VGRAD("#f5f5f5", "#caced2"), "#33373c", "#2a5d9a", "2px",
     "QWidget#pnlToolbar { border-bottom: 2px solid #8a8f95; }"},
    {"银色天地", "#2b2f36", VGRAD("#f7f8fa", "#dde0e5"), VGRAD("#ffffff", "#e3e6ea"), "rgba(255,255,255,150)",
     "#a9b0b8", VGRAD("#ffffff", "#e8ebef"), VGRAD("#ffffff", "#f1f4f8"), VGRAD("#d8dce2", "#eef0f3"), "#7a8ca5",
     "#ffffff", "#ffffff", "#2b2f36", "#a0a5ad", VGRAD("#fbfbfc", "#e4e7eb"), "#4a5260", "#3c6aa8", "4px", ""},
    {"Mac风格", "#1d1d1f", VGRAD("#ececec", "#dcdcdc"), VGRAD("#f6f6f6", "#d0d0d0"), "rgba(255,255,255,110)",
     "#a8a8a8", VGRAD("#ffffff", "#ececec"), VGRAD("#ffffff", "#f4f8ff"), VGRAD("#6cb3fa", "#2a84e8"), "#3d8ee8",
     "#ffffff", "#ffffff", "#1d1d1f", "#a0a0a0", VGRAD("#fafafa", "#e2e2e2"), "#3a3a3c", "#1a6fd6", "6px",
     "QPushButton { border-radius: 9px; } QComboBox { border-radius: 5px; }"},
    {"条纹色调", "#3a2a4a",
     "qlineargradient(spread:repeat, x1:0, y1:0, x2:0.012, y2:0.012, stop:0 #f4eef8, stop:0.5 #f4eef8, "
     "stop:0.51 #e9def2, stop:1 #e9def2)",
     "qlineargradient(spread:repeat, x1:0, y1:0, x2:0.02, y2:0, stop:0 #d9c4ea, stop:0.5 #d9c4ea, stop:0.51 "
     "#cdb2e2, stop:1 #cdb2e2)",
     "rgba(255,255,255,170)", "#a88ac2", VGRAD("#ffffff", "#e7daf1"), VGRAD("#ffffff", "#f3eafa"),
     VGRAD("#c7a9de", "#e3d3ef"), "#8a5cb0", "#ffffff", "#ffffff", "#3a2a4a", "#a898b4",
     VGRAD("#f7f2fb", "#e2d4ee"), "#6a3f90", "#7a3fb0", "3px", ""},
    {"纹理风格", "#3b2e1a",
     "qradialgradient(spread:repeat, cx:0.5, cy:0.5, radius:0.025, fx:0.35, fy:0.35, stop:0 #e6d8bc, stop:0.6 "
     "#dccaa6, stop:1 #d4c099)",
     VGRAD("#c9a878", "#a98654"), "rgba(255,250,240,150)", "#8e7046", VGRAD("#fbf3e4", "#e2cfae"),
     VGRAD("#fffaf0", "#efe1c6"), VGRAD("#cdb086", "#e5d3b4"), "#9a6a2e", "#ffffff", "#fffaf2", "#3b2e1a",
     "#a59679", VGRAD("#f1e5cf", "#d9c4a0"), "#6b4a1c", "#8a4a10", "3px",
     "QWidget#pnlToolbar QToolButton { color: #fff6e6; }"},
    {"Ampix效果", "#dfe6ee", VGRAD("#2d323a", "#1b1e23"), VGRAD("#3a414b", "#23272e"), "rgba(0,0,0,60)",
     "#46505c", VGRAD("#444c57", "#2c3139"), VGRAD("#4f6a85", "#2f4760"), VGRAD("#1e7fc0", "#32b4ff"), "#32b4ff",
     "#0c1620", "#181b20", "#e6eef6", "#6e7782", VGRAD("#3a414b", "#2a2f36"), "#6fd0ff", "#6fd0ff", "3px",
     "QMenu { border: 1px solid #32b4ff; }"},
    {"绿色世界", "#1e4d14", VGRAD("#f0f9ea", "#cfe8c2"), VGRAD("#e3f3d8", "#b9dca4"), "rgba(255,255,255,120)",
     "#7fb56a", VGRAD("#fbfff8", "#dcefd0"), VGRAD("#ffffff", "#e9f8de"), VGRAD("#9fd18a", "#c9e8b9"), "#3e9b2f",
     "#ffffff", "#ffffff", "#1e3d16", "#8aa680", VGRAD("#f3faee", "#d3ebc5"), "#2d7a20", "#237a16", "4px", ""},
    {"深蓝色彩", "#e6eef8", VGRAD("#1f3a60", "#0f2040"), VGRAD("#2a4a78", "#16305a"), "rgba(255,255,255,18)",
     "#3c5f90", VGRAD("#335a8e", "#1e3d68"), VGRAD("#4170aa", "#28508a"), VGRAD("#1b6fd0", "#4ea3ff"), "#4ea3ff",
     "#061428", "#17304f", "#eaf2fc", "#7f93ad", VGRAD("#2c4d7a", "#1d3a62"), "#9cc9ff", "#9cd0ff", "3px", ""},
    {"OFFICE2007", "#1f1f1f", VGRAD("#dedede", "#bcbcbc"), GLASS("#6e6e6e", "#4a4a4a", "#333333", "#454545"),
     "rgba(255,255,255,100)", "#8a8a8a", GLASS("#fbfbfb", "#e9e9e9", "#d6d6d6", "#e6e6e6"),
     GLASS("#fff9e1", "#ffeeb6", "#ffd86b", "#ffe69e"), GLASS("#f8c57c", "#fbb25a", "#f99d37", "#fdc277"),
     "#ffc75a", "#1f1f1f", "#ffffff", "#1f1f1f", "#8e8e8e", VGRAD("#f4f4f4", "#d2d2d2"), "#2a2a2a", "#1f5fb0",
     "3px",
     "QWidget#pnlToolbar QToolButton, QMenuBar, QMenuBar::item { color: #ffffff; }"
     "QMenuBar::item:selected { color: #1f1f1f; }"},
    {"Vista皮肤", "#1b3350", VGRAD("#e4eef8", "#b9cfe6"), GLASS("#fdfdfd", "#e8eef6", "#d3dfee", "#e4ecf6"),
     "rgba(255,255,255,140)", "#8aa6c4", GLASS("#f8fbfe", "#e9f1fa", "#d6e4f4", "#e5eef9"),
     GLASS("#eaf6fd", "#d9f0fc", "#bee6fd", "#a7d9f5"), GLASS("#c4e5f6", "#98d1ef", "#6dbbe6", "#8ecaeb"),
     "#3c97e6", "#ffffff", "#ffffff", "#1b3350", "#8fa3b8", VGRAD("#ffffff", "#dde8f4"), "#1e4a80", "#0066cc",
     "4px", ""},
};

#undef VGRAD
#undef GLASS

// The sheet every skin shares. %NAME% stands for a field of TSkinLook.
constexpr const char *SheetTemplate = R"(
QMainWindow, QDialog { background: %BACKGROUND%; }
QWidget { color: %TEXT%; }
QWidget#TForm1Central { background: %BACKGROUND%; }
QWidget#pnlToolbar { background: %BAR%; border-bottom: 1px solid %BORDER%; }
QMenuBar { background: %BAR%; border-bottom: 1px solid %BORDER%; }
QMenuBar::item { background: transparent; padding: 3px 10px; }
QMenuBar::item:selected { background: %BUTTONHOVER%; border: 1px solid %BORDER%; border-radius: %RADIUS%; }
QMenu { background: %FIELD%; color: %FIELDTEXT%; border: 1px solid %BORDER%; }
QMenu::item { padding: 4px 24px 4px 24px; }
QMenu::item:selected { background: %ACCENT%; color: %ACCENTTEXT%; }
QMenu::item:disabled { color: %DISABLED%; }
QMenu::separator { height: 1px; background: %BORDER%; margin: 3px 6px; }
QGroupBox { background: %PANEL%; border: 1px solid %BORDER%; border-radius: %RADIUS%; margin-top: 9px;
            font-weight: bold; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: %GROUPTITLE%; }
QFrame#pnlOutput { background: %PANEL%; border: 1px solid %BORDER%; border-radius: %RADIUS%; }
QFrame#pnlOutput QLabel { background: transparent; }
QPushButton { background: %BUTTON%; border: 1px solid %BORDER%; border-radius: %RADIUS%; padding: 2px 8px;
              min-height: 18px; }
QPushButton:hover, QToolButton:hover { background: %BUTTONHOVER%; }
QPushButton:pressed, QToolButton:pressed { background: %BUTTONPRESSED%; }
QPushButton:disabled { color: %DISABLED%; }
QPushButton:default { border: 2px solid %ACCENT%; }
QToolButton { background: transparent; border: 1px solid transparent; border-radius: %RADIUS%; padding: 1px; }
QToolButton:hover { border: 1px solid %BORDER%; }
QToolButton:disabled { color: %DISABLED%; }
QToolButton#btnAdd { padding-right: 12px; }
QToolButton::menu-button { border: none; width: 12px; }
QComboBox { background: %BUTTON%; color: %TEXT%; border: 1px solid %BORDER%; border-radius: %RADIUS%;
            padding: 1px 4px; }
QComboBox:hover { background: %BUTTONHOVER%; }
QComboBox:disabled { color: %DISABLED%; }
QComboBox::drop-down { border-left: 1px solid %BORDER%; width: 16px; }
QComboBox::down-arrow { image: url(%ARROW%); width: 9px; height: 6px; }
QComboBox::down-arrow:disabled { image: url(%ARROWDISABLED%); }
QComboBox QAbstractItemView { background: %FIELD%; color: %FIELDTEXT%; border: 1px solid %BORDER%;
                              selection-background-color: %ACCENT%; selection-color: %ACCENTTEXT%; }
QLineEdit, QPlainTextEdit, QListWidget { background: %FIELD%; color: %FIELDTEXT%; border: 1px solid %BORDER%;
                                         border-radius: 2px; selection-background-color: %ACCENT%;
                                         selection-color: %ACCENTTEXT%; }
QLineEdit:read-only { background: %FIELD%; }
QTableWidget { background: %FIELD%; color: %FIELDTEXT%; border: 1px solid %BORDER%; gridline-color: %BORDER%;
               selection-background-color: %ACCENT%; selection-color: %ACCENTTEXT%; }
QHeaderView::section { background: %HEADER%; color: %TEXT%; border: none; border-right: 1px solid %BORDER%;
                       border-bottom: 1px solid %BORDER%; padding: 2px 4px; }
QSlider::groove:horizontal { height: 4px; background: %FIELD%; border: 1px solid %BORDER%; border-radius: 2px; }
QSlider::sub-page:horizontal { background: %ACCENT%; border-radius: 2px; }
QSlider::handle:horizontal { background: %BUTTON%; border: 1px solid %BORDER%; width: 10px; margin: -6px 0;
                             border-radius: 5px; }
QRadioButton, QCheckBox { spacing: 6px; }
QLabel { background: transparent; }
QLabel#lblSite, QLabel#lblSiteLink, QLabel#lblMail { color: %LINK%; }
QToolTip { background: %FIELD%; color: %FIELDTEXT%; border: 1px solid %BORDER%; }
QScrollBar:vertical, QScrollBar:horizontal { background: %HEADER%; }
)";

// A style sheet takes pictures only from files: the drop-down arrow in a
// skin's colour is drawn once into a folder that lives as long as the program.
QString ArrowPicture(const QColor &AColour) {
  static const QTemporaryDir folder;
  const QString path = folder.path() + QStringLiteral("/arrow-") + AColour.name().mid(1) + QStringLiteral(".png");
  if (!QFile::exists(path)) {
    QImage image(9, 6, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AColour);
    const QPointF triangle[] = {{0, 0.5}, {9, 0.5}, {4.5, 5.5}};
    p.drawPolygon(triangle, 3);
    p.end();
    image.save(path);
  }
  return path;
}

} // namespace

QString SkinName(int AIndex) {
  return AIndex >= 0 && AIndex < SkinCount ? QString::fromUtf8(Looks[AIndex].Name) : QString();
}

QString SkinStyleSheet(int AIndex) {
  const TSkinLook &look = Looks[AIndex >= 0 && AIndex < SkinCount ? AIndex : 0];
  const std::map<QString, const char *> fields = {
      {"TEXT", look.Text},       {"BACKGROUND", look.Background}, {"BAR", look.Bar},
      {"PANEL", look.Panel},     {"BORDER", look.Border},         {"BUTTON", look.Button},
      {"BUTTONHOVER", look.ButtonHover}, {"BUTTONPRESSED", look.ButtonPressed}, {"ACCENT", look.Accent},
      {"ACCENTTEXT", look.AccentText},   {"FIELD", look.Field},   {"FIELDTEXT", look.FieldText},
      {"DISABLED", look.Disabled}, {"HEADER", look.Header},       {"GROUPTITLE", look.GroupTitle},
      {"LINK", look.Link},       {"RADIUS", look.Radius},
  };
  QString sheet = QString::fromUtf8(SheetTemplate);
  sheet.replace(QStringLiteral("%ARROWDISABLED%"), ArrowPicture(QColor(QString::fromUtf8(look.Disabled))));
  sheet.replace(QStringLiteral("%ARROW%"), ArrowPicture(QColor(QString::fromUtf8(look.Text))));
  for (const auto &[name, value] : fields)
    sheet.replace('%' + name + '%', QString::fromUtf8(value));
  return sheet + QString::fromUtf8(look.Extra);
}

void ApplySkin(int AIndex) {
  qApp->setStyleSheet(SkinStyleSheet(AIndex));
  // Rich-text links take their colour from the palette, not from the sheet.
  QPalette palette = qApp->palette();
  palette.setColor(QPalette::Link, QColor(QString::fromUtf8(Looks[AIndex >= 0 && AIndex < SkinCount ? AIndex : 0].Link)));
  qApp->setPalette(palette);
}

namespace {

// A swatch of a skin's background and accent for the skin list.
QIcon SkinSwatch(int AIndex) {
  QPixmap pm(28, 18);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const TSkinLook &look = Looks[AIndex];
  // The first colour named in the field stands for a gradient.
  auto firstColour = [](const char *AField) {
    const QString field = QString::fromUtf8(AField);
    const qsizetype hash = field.indexOf('#');
    return hash < 0 ? QColor(Qt::gray) : QColor(field.mid(hash, 7));
  };
  p.setPen(QPen(QColor(look.Border), 1));
  p.setBrush(firstColour(look.Background));
  p.drawRoundedRect(QRectF(0.5, 0.5, 27, 17), 3, 3);
  p.setBrush(firstColour(look.Bar));
  p.drawRect(QRectF(0.5, 0.5, 27, 6));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(look.Accent));
  p.drawEllipse(QRectF(17, 9, 7, 7));
  return QIcon(pm);
}

} // namespace

TSkinDialog::TSkinDialog(int ACurrent, QWidget *AParent) : QDialog(AParent) {
  setObjectName(QStringLiteral("SkinDialog"));
  setWindowTitle(QStringLiteral("Select skin"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto *layout = new QVBoxLayout(this);
  auto *label = new QLabel(QStringLiteral("选择软件皮肤："), this);
  layout->addWidget(label);
  FList = new QListWidget(this);
  FList->setObjectName(QStringLiteral("lstSkins"));
  FList->setIconSize(QSize(28, 18));
  for (int i = 0; i < SkinCount; ++i)
    FList->addItem(new QListWidgetItem(SkinSwatch(i), SkinName(i)));
  FList->setMinimumSize(220, 11 * 24);
  layout->addWidget(FList);
  auto *buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("btnOK"));
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(FList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  SelectSkin(ACurrent);
}

int TSkinDialog::SelectedSkin() const { return FList->currentRow(); }

void TSkinDialog::SelectSkin(int AIndex) {
  FList->setCurrentRow(AIndex >= 0 && AIndex < SkinCount ? AIndex : 0);
}
