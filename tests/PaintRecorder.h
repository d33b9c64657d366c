#pragma once

// Paint device for the widget tests that records what a painter draws
// (text origins, pixmap targets, path bounds) in logical coordinates, so
// layouts can be checked exactly without comparing rendered glyphs.

#include <QColor>
#include <QFont>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <QTransform>
#include <QVector>

struct RecordedText
{
    QPointF origin;
    QString text;
    QColor color;
    QFont font;
};

struct RecordedPixmap
{
    QRectF target;
    qint64 cacheKey;
};

struct RecordedPath
{
    QRectF bounds;
    QColor pen;
    QColor brush;
};

class PaintRecorderEngine : public QPaintEngine
{
public:
    PaintRecorderEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    { }

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyPen)
            pen = state.pen();
        if (state.state() & DirtyBrush)
            brush = state.brush();
        if (state.state() & DirtyFont)
            font = state.font();
        if (state.state() & DirtyTransform)
            transform = state.transform();
        if (state.state() & DirtyHints)
            hints = state.renderHints();
    }

    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &) override
    {
        drawHints |= hints;
        pixmaps.append({transform.mapRect(r), pm.cacheKey()});
    }

    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        drawHints |= hints;
        texts.append({transform.map(p), item.text(), pen.color(), font});
    }

    void drawPath(const QPainterPath &path) override
    {
        paths.append({transform.map(path).boundingRect(), pen.color(), brush.color()});
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode) override
    {
        QPolygonF polygon;
        for (int i = 0; i < count; ++i)
            polygon << points[i];
        paths.append({transform.map(polygon).boundingRect(), pen.color(), brush.color()});
    }

    QPen pen;
    QBrush brush;
    QFont font;
    QTransform transform;
    QPainter::RenderHints hints;
    QPainter::RenderHints drawHints; // every hint in force at some drawing
    QVector<RecordedText> texts;
    QVector<RecordedPixmap> pixmaps;
    QVector<RecordedPath> paths;
};

class PaintRecorder : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &m_engine; }
    PaintRecorderEngine &engine() const { return m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 1000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 264;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    mutable PaintRecorderEngine m_engine;
};
