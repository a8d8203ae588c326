#include "hosts/core/view_geometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// The zoom steps: powers of two and the halves between them, from 1/16 to 32.
constexpr double kSteps[] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2,
                             2.0 / 3,  1.0,      1.5,     2.0,     3.0,     4.0,     6.0,
                             8.0,      12.0,     16.0,    24.0,    32.0};

struct Span {
    int sourceFrom, sourceTo, destFrom, destTo;
};

// One axis of a placement: the whole picture centred when it fits the client at `scale`,
// else the part of it that the view starting at `edge` shows.
Span PlaceAxis(int picture, int client, double scale, double edge) {
    const int shown = std::max(1, static_cast<int>(std::lround(picture * scale)));
    if (shown <= client) {
        // The odd pixel of a centring goes to the right and the bottom.
        const int from = (client - shown) / 2;
        return {0, picture, from, from + shown};
    }
    const int sourceFrom = std::clamp(static_cast<int>(std::floor(edge)), 0, picture);
    const int sourceTo =
        std::clamp(static_cast<int>(std::ceil(edge + client / scale)), sourceFrom, picture);
    return {sourceFrom, sourceTo, static_cast<int>(std::lround((sourceFrom - edge) * scale)),
            static_cast<int>(std::lround((sourceTo - edge) * scale))};
}

}  // namespace

void ViewGeometry::SetPicture(PictureSize picture) {
    picture_ = picture;
    fitting_ = true;
    centreX_ = picture.width / 2.0;
    centreY_ = picture.height / 2.0;
}

void ViewGeometry::Turned(PictureSize picture) {
    picture_ = picture;
    centreX_ = picture.width / 2.0;
    centreY_ = picture.height / 2.0;
}

void ViewGeometry::ToggleFitRule() {
    rule_ = rule_ == FitRule::ShrinkOnly ? FitRule::ShrinkAndEnlarge : FitRule::ShrinkOnly;
    fitting_ = true;
}

double ViewGeometry::Scale(PictureSize client) const {
    if (!fitting_) return zoom_;
    if (picture_.width <= 0 || picture_.height <= 0 || client.width <= 0 || client.height <= 0) {
        return 1.0;
    }
    const double fit = std::min(static_cast<double>(client.width) / picture_.width,
                                static_cast<double>(client.height) / picture_.height);
    return rule_ == FitRule::ShrinkOnly ? std::min(1.0, fit) : fit;
}

void ViewGeometry::OneToOne(PictureSize client) {
    ZoomTo(1.0, client, client.width / 2, client.height / 2);
}

void ViewGeometry::ZoomIn(PictureSize client, int x, int y) {
    const double now = Scale(client);
    const double* next = std::upper_bound(std::begin(kSteps), std::end(kSteps), now * 1.001);
    ZoomTo(next == std::end(kSteps) ? kMaximumScale : *next, client, x, y);
}

void ViewGeometry::ZoomOut(PictureSize client, int x, int y) {
    const double now = Scale(client);
    const double* below = std::lower_bound(std::begin(kSteps), std::end(kSteps), now / 1.001);
    ZoomTo(below == std::begin(kSteps) ? kMinimumScale : *(below - 1), client, x, y);
}

double ViewGeometry::Edge(double centre, int picture, int client, double scale) const {
    const double view = client / scale;
    return std::clamp(centre - view / 2, 0.0, std::max(0.0, picture - view));
}

void ViewGeometry::ZoomTo(double scale, PictureSize client, int x, int y) {
    scale = std::clamp(scale, kMinimumScale, kMaximumScale);
    // The picture point under (x, y) now, from the placement in force.
    const Placement before = Place(client);
    const double oldScale = before.scale;
    const double px = before.source.left + (x - before.dest.left) / oldScale;
    const double py = before.source.top + (y - before.dest.top) / oldScale;
    fitting_ = false;
    zoom_ = scale;
    // The same point under (x, y) at the new scale.
    centreX_ = px - x / scale + client.width / (2 * scale);
    centreY_ = py - y / scale + client.height / (2 * scale);
    Clamp(client);
}

void ViewGeometry::Pan(PictureSize client, int dx, int dy) {
    if (fitting_) return;
    centreX_ -= dx / zoom_;
    centreY_ -= dy / zoom_;
    Clamp(client);
}

bool ViewGeometry::Pannable(PictureSize client) const {
    const double scale = Scale(client);
    return !fitting_ && (std::lround(picture_.width * scale) > client.width ||
                         std::lround(picture_.height * scale) > client.height);
}

// Keeps the centre where the view stays inside the picture, so that a drag past the edge
// does not have to be undone before the picture moves back.
void ViewGeometry::Clamp(PictureSize client) {
    const double viewWidth = client.width / zoom_, viewHeight = client.height / zoom_;
    centreX_ = Edge(centreX_, picture_.width, client.width, zoom_) + viewWidth / 2;
    centreY_ = Edge(centreY_, picture_.height, client.height, zoom_) + viewHeight / 2;
}

Placement ViewGeometry::Place(PictureSize client) const {
    Placement placement;
    if (picture_.width <= 0 || picture_.height <= 0 || client.width <= 0 || client.height <= 0) {
        placement.source = {0, 0, picture_.width, picture_.height};
        return placement;
    }
    const double scale = Scale(client);
    const Span x = PlaceAxis(picture_.width, client.width, scale,
                             Edge(centreX_, picture_.width, client.width, scale));
    const Span y = PlaceAxis(picture_.height, client.height, scale,
                             Edge(centreY_, picture_.height, client.height, scale));
    placement.source = {x.sourceFrom, y.sourceFrom, x.sourceTo, y.sourceTo};
    placement.dest = {x.destFrom, y.destFrom, x.destTo, y.destTo};
    placement.scale = scale;
    // Smooth when shrinking; whole pixels at 1:1 and when enlarging, as an animation's
    // pixels are usually meant to be seen.
    placement.interpolation = scale < 1.0 ? Interpolation::Linear : Interpolation::Nearest;
    return placement;
}
