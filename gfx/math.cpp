// Vector and matrix maths: row-vector 4x4 matrices built as the game's rotations, views and
// projections expect them.
#include "gfx/math.h"

#include <cmath>

bool Matrix::operator==(const Matrix& other) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != other.m[r][c])
                return false;
    return true;
}

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 normalize(Vec3 a) {
    float len = length(a);
    if (len == 0.0f)
        return a;
    return a * (1.0f / len);
}

Matrix matrixRotationX(float a) {
    Matrix r;
    float c = std::cos(a), s = std::sin(a);
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

Matrix matrixRotationY(float a) {
    Matrix r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

Matrix matrixRotationZ(float a) {
    Matrix r;
    float c = std::cos(a), s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

Matrix matrixScaling(float sx, float sy, float sz) {
    Matrix r;
    r.m[0][0] = sx;
    r.m[1][1] = sy;
    r.m[2][2] = sz;
    return r;
}

Matrix matrixTranslation(float x, float y, float z) {
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix matrixMultiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Matrix operator*(const Matrix& a, const Matrix& b) {
    return matrixMultiply(a, b);
}

Matrix matrixLookAtRH(Vec3 eye, Vec3 at, Vec3 up) {
    Vec3 zaxis = normalize(eye - at);
    Vec3 xaxis = normalize(cross(up, zaxis));
    Vec3 yaxis = cross(zaxis, xaxis);
    Matrix r;
    r.m[0][0] = xaxis.x;
    r.m[0][1] = yaxis.x;
    r.m[0][2] = zaxis.x;
    r.m[1][0] = xaxis.y;
    r.m[1][1] = yaxis.y;
    r.m[1][2] = zaxis.y;
    r.m[2][0] = xaxis.z;
    r.m[2][1] = yaxis.z;
    r.m[2][2] = zaxis.z;
    r.m[3][0] = -dot(xaxis, eye);
    r.m[3][1] = -dot(yaxis, eye);
    r.m[3][2] = -dot(zaxis, eye);
    return r;
}

Matrix matrixPerspectiveFovRH(float fovY, float aspect, float zNear, float zFar) {
    Matrix r;
    float yScale = 1.0f / std::tan(fovY / 2.0f);
    float xScale = yScale / aspect;
    r.m[0][0] = xScale;
    r.m[1][1] = yScale;
    r.m[2][2] = zFar / (zNear - zFar);
    r.m[2][3] = -1.0f;
    r.m[3][2] = zNear * zFar / (zNear - zFar);
    r.m[3][3] = 0.0f;
    return r;
}

Matrix matrixTranspose(const Matrix& a) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
    return r;
}

bool matrixInverse(const Matrix& a, Matrix& out) {
    // Gauss-Jordan elimination with partial pivoting, in double precision.
    double w[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            w[i][j] = a.m[i][j];
            w[i][j + 4] = (i == j) ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(w[r][col]) > std::fabs(w[pivot][col]))
                pivot = r;
        if (std::fabs(w[pivot][col]) < 1e-12)
            return false;
        if (pivot != col)
            for (int j = 0; j < 8; ++j) std::swap(w[pivot][j], w[col][j]);
        double inv = 1.0 / w[col][col];
        for (int j = 0; j < 8; ++j) w[col][j] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col)
                continue;
            double f = w[r][col];
            for (int j = 0; j < 8; ++j) w[r][j] -= f * w[col][j];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out.m[i][j] = static_cast<float>(w[i][j + 4]);
    return true;
}

Vec4 transformPoint(Vec3 p, const Matrix& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2],
            p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3]};
}

Vec3 transformCoord(Vec3 p, const Matrix& m) {
    Vec4 v = transformPoint(p, m);
    float inv = (v.w != 0.0f) ? 1.0f / v.w : 0.0f;
    return {v.x * inv, v.y * inv, v.z * inv};
}

Vec3 transformNormal(Vec3 n, const Matrix& m) {
    return {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
            n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
            n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
}
