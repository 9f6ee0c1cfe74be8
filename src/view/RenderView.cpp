#include "view/RenderView.h"

#include "view/ViewGeometry.h"
#include "view/ViewImagePainter.h"
#include "view/WaveformDrawing.h"

#include <algorithm>

QImage RenderViewImage(const CQuorvelDoc& doc, int width, double amplitude)
{
    width = std::max(1, width);
    CViewGeometry geometry(&doc);
    // The content height does not depend on the scale.
    const int height = std::max(1, geometry.GetContentSize().cy);
    geometry.SetClientSize(width, height);
    geometry.UpdateScrollSizes();
    geometry.FitZoomToClient();
    geometry.UpdateScrollSizes();
    if (amplitude == kFitAmplitude)
        geometry.FitAmplitude();
    else
        geometry.SetAmplitude(amplitude);

    QImage image(width, height, QImage::Format_RGB32);
    CWaveformDrawing drawing;
    PaintViewImage(image, image.rect(), drawing, doc, geometry, PlayCursorState{});
    return image;
}
