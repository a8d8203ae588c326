// Where the picture goes in the window: fitted (shrunk only, or also enlarged) or at a zoom
// of the user's, panned, and so the rectangles that Render takes. All sizes are of the
// displayed picture, after rotation, as VM_GETSIZE answers.
#pragma once

#include "hosts/core/module_viewer.h"

enum class FitRule { ShrinkOnly, ShrinkAndEnlarge };

struct Placement {
    PixelRect source;  // of the displayed picture
    PixelRect dest;    // in the client area; may reach past it when zoomed in
    Interpolation interpolation = Interpolation::Nearest;
    double scale = 1.0;
};

class ViewGeometry {
  public:
    static constexpr double kMinimumScale = 1.0 / 16, kMaximumScale = 32;

    // A new picture: fitted again by the rule in force.
    void SetPicture(PictureSize picture);
    // The same picture turned (its sides may have swapped): the fit or the zoom is kept,
    // the view centred.
    void Turned(PictureSize picture);

    FitRule rule() const { return rule_; }
    bool fitting() const { return fitting_; }
    // Toggles between the two fit rules and fits again.
    void ToggleFitRule();
    void Fit() { fitting_ = true; }
    void OneToOne(PictureSize client);
    // One zoom step about the client point (x, y), which keeps showing the same pixel.
    void ZoomIn(PictureSize client, int x, int y);
    void ZoomOut(PictureSize client, int x, int y);
    void ZoomTo(double scale, PictureSize client, int x, int y);
    // A drag by (dx, dy) client pixels moves the picture with the pointer.
    void Pan(PictureSize client, int dx, int dy);
    // Whether the picture reaches past the client area, so that a drag can move it.
    bool Pannable(PictureSize client) const;

    Placement Place(PictureSize client) const;
    double Scale(PictureSize client) const;

  private:
    // The view's left (top) edge in picture pixels along one axis, kept inside the picture.
    double Edge(double centre, int picture, int client, double scale) const;
    void Clamp(PictureSize client);

    PictureSize picture_;
    FitRule rule_ = FitRule::ShrinkOnly;
    bool fitting_ = true;
    double zoom_ = 1.0;
    // The picture point at the client area's centre, while zoomed.
    double centreX_ = 0, centreY_ = 0;
};
