#pragma once

#include <QDateTime>
#include <QLatin1String>
#include <QString>
#include <QVariantMap>

#include <optional>

// The keys of an image-properties dictionary: what the platform's image
// metadata reader produces and fillExifInfo() reads. Sub-dictionaries are
// QVariantMaps stored under the braced keys.
namespace ImagePropertyKey {
inline constexpr QLatin1String pixelWidth { "PixelWidth" };
inline constexpr QLatin1String pixelHeight { "PixelHeight" };
inline constexpr QLatin1String dpiWidth { "DPIWidth" };
inline constexpr QLatin1String dpiHeight { "DPIHeight" };
inline constexpr QLatin1String colorModel { "ColorModel" };
inline constexpr QLatin1String profileName { "ProfileName" };

inline constexpr QLatin1String exifDictionary { "{Exif}" };
inline constexpr QLatin1String dateTimeOriginal { "DateTimeOriginal" };
inline constexpr QLatin1String rating { "Rating" };
inline constexpr QLatin1String focalLength { "FocalLength" };
inline constexpr QLatin1String exposureBiasValue { "ExposureBiasValue" };
inline constexpr QLatin1String isoSpeedRatings { "ISOSpeedRatings" };
inline constexpr QLatin1String exposureMode { "ExposureMode" };
inline constexpr QLatin1String exposureProgram { "ExposureProgram" };
inline constexpr QLatin1String meteringMode { "MeteringMode" };
inline constexpr QLatin1String lightSource { "LightSource" };
inline constexpr QLatin1String sensingMethod { "SensingMethod" };
inline constexpr QLatin1String sceneCaptureType { "SceneCaptureType" };
inline constexpr QLatin1String colorSpace { "ColorSpace" };
inline constexpr QLatin1String digitalZoomRatio { "DigitalZoomRatio" };
inline constexpr QLatin1String flash { "Flash" };

inline constexpr QLatin1String tiffDictionary { "{TIFF}" };
inline constexpr QLatin1String make { "Make" };
inline constexpr QLatin1String model { "Model" };
inline constexpr QLatin1String orientation { "Orientation" };
inline constexpr QLatin1String software { "Software" };

inline constexpr QLatin1String gpsDictionary { "{GPS}" };
inline constexpr QLatin1String latitude { "Latitude" };
inline constexpr QLatin1String latitudeRef { "LatitudeRef" };
inline constexpr QLatin1String longitude { "Longitude" };
inline constexpr QLatin1String longitudeRef { "LongitudeRef" };
inline constexpr QLatin1String altitude { "Altitude" };
inline constexpr QLatin1String altitudeRef { "AltitudeRef" };

inline constexpr QLatin1String iptcDictionary { "{IPTC}" };
inline constexpr QLatin1String keywords { "Keywords" };

inline constexpr QLatin1String exifAuxDictionary { "{ExifAux}" };
inline constexpr QLatin1String lensModel { "LensModel" };
} // namespace ImagePropertyKey

// The image metadata of one picture, shown in the preview pane. Filled off the
// GUI thread when the picture is first shown (a cloud one's by its listing),
// then set on its record and only read. Texts are never null; coded values
// keep their decimal code and are turned into words by the functions below.
class ExifInfo {
public:
    double moDateTime = 0;
    std::optional<qlonglong> exifInfoId;
    QString gpsLatitudeRef;
    QString gpsLongitudeRef;
    QString fileName;
    QString fileType;
    QString fileLabel;
    std::optional<QDateTime> fileCreated;
    std::optional<QDateTime> fileModified;
    QString folderName;
    QString rating;
    QString keywords;
    QString imageSize;
    QString imageDPI;
    qlonglong orientation = 0;
    std::optional<QDateTime> captureDate;
    QString editingSoftware;
    QString exposure;
    QString folcalLength;
    QString exposureBias;
    QString isoSpeedRating;
    QString exposureMode;
    QString exposureProgram;
    QString meteringMode;
    QString lightSource;
    QString sensingMethod;
    QString sceneCaptureType;
    QString cameraMaker;
    QString cameraModel;
    QString cameraLensModel;
    QString cameraFirmware;
    QString colorModel;
    QString colorSpace;
    QString profileName;
    quint64 fileSize = 0;
    QString digitalZoomRatio;
    bool flashFired = false;
    double gpsAltitude = 0;
    double gpsLatitude = 0;
    double gpsLongitude = 0;
    qlonglong pixelWidth = 0;
    qlonglong pixelHeight = 0;
    double dpiWidth = 0;
    double dpiHeight = 0;

    // Takes the fields from an image-properties dictionary. No dictionary
    // leaves the record as it is; an entry of an unexpected type falls back to
    // the field's neutral value, and a sub-dictionary that is missing or not a
    // dictionary leaves its fields alone.
    void fillExifInfo(const std::optional<QVariantMap>& properties);
};

// "1 (Normal)" … "8 (Rotated 90° CW)"; "--" for 0 and unknown values.
QString orientationText(qlonglong orientation);

// The words for a coded EXIF value given as its decimal text; "---" for an
// empty text, a text that is not a decimal integer, or an unlisted code.
QString exposureModeText(const QString& code);
QString exposureProgramText(const QString& code);
QString meteringModeText(const QString& code);
QString lightSourceText(const QString& code);
QString sensingMethodText(const QString& code);
QString sceneCaptureTypeText(const QString& code);

// Degrees as whole degrees, minutes and seconds with the hemisphere letter
// ("33°30'0\"S"); "---" below one second or for a value that is not finite.
QString gpsCoordinateText(double degrees, const QString& hemisphere);
