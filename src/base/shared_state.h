#pragma once
// The state that the main window owns for the whole run and that every window and module reads
// and writes: calibration constants, the values of the last header, the capture's progress, the
// trace tables and the flags that windows pass to each other. One instance lives in the main
// window and is handed by reference to the code that needs it.
//
// Members keep the names the rest of the program uses for them. Values that the settings loader
// stores as text but the program computes with are `Dynamic`; the others are plain numbers.

#include <string>
#include <vector>

#include "base/dynamic.h"
#include "base/trace_table.h"

namespace kovrel {

struct SharedState {
  // --- Trace tables -------------------------------------------------------------------------
  TraceTable forma_llegida;      // the shape exactly as read, point n = sample n
  TraceTable forma_treball;      // the shape the program works on (points 1..4095)
  TraceTable forma_auxiliar;     // resampling output: rows 1..800
  std::vector<int> raw_samples;  // the arm counts of the last read as they arrived (the archive keeps them)
  double gir_acumulat = 0.0;     // radians added to every angle when drawn or resampled
  Dynamic signe_x = 1;           // mirror factor for x: +1 or -1
  Dynamic signe_y = 1;           // factor for y: always +1

  // --- Calibration constants (settings file; the header of each read overwrites several) ----
  double grausperpols = 0.0;   // radians of arm swing per count of the radius channel
  double midaradi = 0.0;       // feeler arm length, mm
  double angleplus = 0.0;      // radians added to the fixed angular step of every sample
  double polsoseix = 0.0;      // raw count with the needle at its innermost position
  double polsosini = 0.0;      // raw count at the start of the arm's travel
  Dynamic carrera;             // counts of the arm's full travel
  double obertura_brac = 0.0;  // chord in mm covered by the needle over the full travel
  double radi_central = 0.0;   // mm from the turntable centre to the needle at innermost position
  Dynamic angle_radi_central;  // arm angle (radians) at that position; derived, not stored
  Dynamic filterscope;         // start of the neighbour index of the probe-tip compensation
  Dynamic calibra_centre;      // centre calibration flag
  Dynamic cicle_calibracio;    // calibration cycle value
  Dynamic OffsetMida;          // general size offset, mm of diameter
  Dynamic comport1;            // COM number of the tracer's port
  Dynamic comport2;            // COM number of the virtual port offered to the host
  Dynamic comport3;            // highest COM number found by the port search (not saved)
  Dynamic lletra;              // program folder ([PATH])
  Dynamic primera_instalacio;  // installation state: 1 = set-up pending, 10 = ports set up

  // --- Header and device values of the current read ------------------------------------------
  Dynamic llegir_capsalera;     // header characters taken; 65 = temperature next; 100/66 = done
  std::string dades_capsalera;  // header text gathered so far (one char per byte)
  std::string serial_number;    // four characters of the header; "777777" without header
  Dynamic temperatura;          // raw 16-bit temperature reading
  Dynamic offset_temperatura;   // temperature compensation in counts
  Dynamic contador_treballs;    // the tracer's job counter (second trailer word)

  // --- Capture working values ----------------------------------------------------------------
  std::string byte1Serie;
  std::string byte2serie;
  double datoPurDecimal = 0.0;   // last raw sample, then relative to the innermost position
  double midapuradecimal = 0.0;  // radius of the last sample, mm
  int contadorDadesRebudes = 0;  // number of the next sample: 1..4096, 4097/4098 trailer, 4099
  double comodiCalcul1 = 0.0;
  double incrementangles = 0.0;  // running turntable angle, radians
  double anterior = 0.0;
  double PI = 0.0;    // 3.14159265 as the capture sets it
  double xPur = 0.0;  // scratch plot coordinates, mm
  double yPur = 0.0;
  int esticCapturant = 0;   // a read is under way
  int stopemergencia = 0;   // the last read stopped because the needle left its range
  int estic_calibrant = 0;  // the read is a centre calibration
  Dynamic mitja_centre;     // sum, then mean, of the raw samples of a centre calibration
  int ja_Enviat = 0;        // the current shape has been prepared and sent
  // forma_treball came from another program's trace file: it holds the lens's edge, which the
  // feeler tip's compensation must leave as it is. Every read of the tracer clears it.
  int forma_de_fitxer = 0;

  // --- Flags and values owned by other windows -----------------------------------------------
  Dynamic obre_offset;              // "si"/"no": the general-offset panel was asked for
  Dynamic tipoMontura;              // 0 = no lens type chosen for this read
  Dynamic normalOaire;              // lens-type offset, mm
  int estem_en_picture3 = 0;        // pointer last over the offset panel's background
  Dynamic temporitzacio_mousedown;  // hold counter of the turn buttons
  Dynamic timeout_oma;              // clock second at which the current host wait started
  Dynamic datoEncoder;
  Dynamic datoEncoderPetit;
  Dynamic datoEncoderGran;
  std::string primeraLecturaEncoder;
  Dynamic estaba_configurat;
  Dynamic Marxar_sense_tocarres;
  double offset_ajust = 0.0;  // step counter of the general-offset panel, -0.5..0.5

  // --- Results of the last preparation, shown by the send in sizes-only mode -----------------
  double mida_h = 0.0;       // horizontal size, hundredths of mm
  double mida_v = 0.0;       // vertical size, hundredths of mm
  double offset_radi = 0.0;  // radius offset, hundredths of mm
};

}  // namespace kovrel
