#include "panels/PanelDelegate.h"

#include "panels/FileEntry.h"
#include "panels/PanelModel.h"
#include "platform/FileAttributes.h"
#include "ui_services/AppState.h"
#include "ui_services/ReadableColor.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace km {

QColor ColorFromRef(int ref) {
    if (ref < 0) // unset: the desktop's colour for the active window
        return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

QString FitCellText(const QString& text, const QFontMetrics& fm, int columnWidth) {
    const int w = columnWidth - 4;
    if (w < 5)
        return {};
    QString t = text;
    bool dropped = false;
    while (!t.isEmpty() && fm.horizontalAdvance(t) > w - 4) {
        t.chop(1);
        dropped = true;
        if (t.size() <= 1)
            return {};
    }
    if (dropped) {
        t.chop(1);
        t += QStringLiteral("...");
    }
    return t;
}

PanelRowColors PanelDelegate::RowColors(int kind, bool selected, uint attrs) {
    const auto& colors = App().colors.ref;
    const bool special = (attrs & (AttrHidden | AttrSystem)) != 0;
    int fg, bg;
    if (kind == KindFile) {
        fg = selected ? ColFileSelFg : special ? ColSysFileFg : ColFileFg;
        bg = selected ? ColFileSelBg : special ? ColSysFileBg : ColFileBg;
    } else {
        const bool sysDir = kind == KindDirectory && special;
        fg = selected ? ColDirSelFg : sysDir ? ColSysDirFg : ColDirFg;
        bg = selected ? ColDirSelBg : sysDir ? ColSysDirBg : ColDirBg;
    }
    const QColor background = ColorFromRef(colors[static_cast<size_t>(bg)]);
    return {ReadableOn(background, ColorFromRef(colors[static_cast<size_t>(fg)])), background};
}

void PanelDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const PanelRowColors c = RowColors(index.data(PanelModel::KindRole).toInt(),
                                       index.data(PanelModel::SelectedRole).toBool(),
                                       index.data(PanelModel::AttributesRole).toUInt());
    painter->save();
    painter->fillRect(option.rect, c.background);
    const QString text =
        FitCellText(index.data(Qt::DisplayRole).toString(), option.fontMetrics, option.rect.width());
    if (!text.isEmpty()) {
        painter->setFont(option.font);
        painter->setPen(c.text);
        const QRect r(option.rect.left() + 2, option.rect.top(), option.rect.width() - 4,
                      option.rect.height());
        const auto align = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        painter->drawText(r, static_cast<int>(align) | Qt::TextSingleLine, text);
    }
    painter->restore();
}

} // namespace km
