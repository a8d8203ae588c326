// Direct2D's matrix helpers, in the row-vector layout: x' = x _11 + y _21 + _31,
// y' = x _12 + y _22 + _32.
#include <d2d1.h>

#include <cmath>
#include <numbers>

// D2D1MakeRotateMatrix: translate(-center), rotate by `angle` degrees, translate(center).
// With y growing downwards a positive angle turns clockwise on screen. Computed in float,
// as Direct2D does, so a quarter turn keeps cos's few ulps of residue.
extern "C" void WINAPI D2D1MakeRotateMatrix(FLOAT angle, D2D1_POINT_2F center,
                                            D2D1_MATRIX_3X2_F* matrix) {
    if (!matrix) return;
    const float theta = angle * (std::numbers::pi_v<float> / 180.0f);
    const float s = std::sin(theta), c = std::cos(theta);
    *matrix = {c,
               s,
               -s,
               c,
               center.x - center.x * c + center.y * s,
               center.y - center.x * s - center.y * c};
}

// D2D1InvertMatrix: FALSE, and the matrix left as it was, when it has no inverse.
extern "C" BOOL WINAPI D2D1InvertMatrix(D2D1_MATRIX_3X2_F* matrix) {
    if (!matrix) return FALSE;
    const D2D1_MATRIX_3X2_F m = *matrix;
    const float det = m._11 * m._22 - m._12 * m._21;
    if (det == 0.0f || !std::isfinite(det)) return FALSE;
    *matrix = {m._22 / det,
               -m._12 / det,
               -m._21 / det,
               m._11 / det,
               (m._21 * m._32 - m._22 * m._31) / det,
               (m._12 * m._31 - m._11 * m._32) / det};
    return TRUE;
}
