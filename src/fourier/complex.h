#pragma once

#include <type_traits>

// A complex number as the spectra hold it: real part, then imaginary part, 16 bytes
// without padding, so a spectrum block and a ".ft" file have the same entry layout.
// Default construction leaves the parts uninitialised, like the zero-filled blocks it
// usually lives in; write Complex{} or Complex(0, 0) for a zero.
struct Complex {
    double re;
    double im;

    Complex() = default;
    constexpr Complex(double real, double imag) : re(real), im(imag) {}

    friend constexpr Complex operator+(const Complex& a, const Complex& b) {
        return {a.re + b.re, a.im + b.im};
    }
    friend constexpr Complex operator-(const Complex& a, const Complex& b) {
        return {a.re - b.re, a.im - b.im};
    }
    friend constexpr Complex operator*(const Complex& a, double f) { return {a.re * f, a.im * f}; }
    friend constexpr Complex operator*(double f, const Complex& a) { return {a.re * f, a.im * f}; }
    friend constexpr Complex operator*(const Complex& a, const Complex& b) {
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    // a / b computed as a * conj(b) / |b|^2.
    friend constexpr Complex operator/(const Complex& a, const Complex& b) {
        const double d = b.re * b.re + b.im * b.im;
        return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
    }
    constexpr Complex operator-() const { return {-re, -im}; }

    constexpr Complex& operator+=(const Complex& b) {
        re += b.re;
        im += b.im;
        return *this;
    }
    constexpr Complex& operator-=(const Complex& b) {
        re -= b.re;
        im -= b.im;
        return *this;
    }
    constexpr Complex& operator*=(double f) {
        re *= f;
        im *= f;
        return *this;
    }
    constexpr Complex& operator*=(const Complex& b) { return *this = *this * b; }
    constexpr Complex& operator/=(const Complex& b) { return *this = *this / b; }

    // re^2 + im^2.
    constexpr double SquaredMagnitude() const { return re * re + im * im; }
    constexpr Complex Conjugate() const { return {re, -im}; }

    friend constexpr bool operator==(const Complex&, const Complex&) = default;
};

static_assert(sizeof(Complex) == 16, "a Complex is two doubles without padding");
static_assert(std::is_trivially_copyable_v<Complex> && std::is_standard_layout_v<Complex>);
