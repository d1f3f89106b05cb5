#pragma once
// Synthesis of what the tracer sends for one read: the header with its calibration, the
// temperature, the 4096 arm counts of a known outline and the job-counter words. The tracer
// simulator streams it; tests feed it to the capture and compare the result with the outline.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/default_settings.h"

namespace kovrel::toolkit {

// The calibration a tracer carries in its header. Defaults are the arm the program is
// installed with, so a simulated tracer and a fresh installation agree.
struct TracerCalibration {
  double polsoseix = DefaultCalibration::polsoseix;          // raw count, needle at its innermost position
  double midaradi = DefaultCalibration::midaradi;            // feeler arm length, mm
  double angleplus = DefaultCalibration::angleplus;          // added to every turntable step, radians
  double obertura_brac = DefaultCalibration::obertura_brac;  // chord of the arm's travel, mm
  double radi_central = DefaultCalibration::radi_central;    // centre to innermost needle, mm
  std::string serial = "0042";                               // four characters
  int temperatura = 614;  // raw temperature reading; 614 needs no compensation
};

// Header text (64 chars, starts "***") holding these values at the fixed positions. Throws
// std::invalid_argument when a value does not fit its field.
std::string buildHeader(const TracerCalibration& cal);

// The calibration as the header carries it: every value rounded to its field's resolution
// (tenths of a count, microns, hundredths of a mm, a three-digit mantissa for angleplus).
TracerCalibration headerValues(const TracerCalibration& cal);

// Size of one count of the arm near the centre, mm: how finely a synthesised outline can be
// reproduced (grausperpols * midaradi of the header's calibration).
double countSizeMm(const TracerCalibration& cal);

// Polar outline about the turntable centre: radius (mm) at polar angle (rad). Must accept any
// angle (it is read modulo a full turn).
using Outline = std::function<double(double angleRad)>;

// The 4096 raw counts the arm measures tracing `outline` with the calibration in the header:
// for every sample the count whose captured point (polar angle, radius) lies on the outline,
// as the capture computes it with compensation on (the temperature shift included). Counts are
// whole numbers limited to the encoder's 0..4095.
std::vector<int> samplesFor(const Outline& outline, const TracerCalibration& cal);

// A whole read from its parts: header bytes, temperature, samples and two trailer words, every
// 16-bit value high byte first. Values are written as their low 16 bits, unchecked, so a test
// can also make streams a tracer never sends.
std::vector<std::uint8_t> assembleStream(const std::string& header, int temperatura,
                                         const std::vector<int>& samples, int job1, int job2);

// A whole 8262-byte read: header, temperature, samples, two trailer words.
std::vector<std::uint8_t> buildStream(const Outline& outline, const TracerCalibration& cal, int job1,
                                      int job2);

// Outlines centred on the turntable (mm).
Outline circle(double radius);
Outline ellipse(double a, double b);  // a along x, b along y
// |x/a|^n + |y/b|^n = 1: n = 2 is the ellipse, larger n comes closer to a rectangle.
Outline superellipse(double a, double b, double n);
// `outline` moved so that its own centre sits at (dx, dy) mm from the turntable centre; the
// centre must stay inside it.
Outline offCentre(Outline outline, double dx, double dy);

}  // namespace kovrel::toolkit
