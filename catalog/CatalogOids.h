#pragma once
// The object identifiers of catalogs, for both platforms' encodings.

namespace vormlan::catalog::oid {

inline constexpr char kCtl[] = "1.3.6.1.4.1.311.10.1";               // szOID_CTL
inline constexpr char kCatalogList[] = "1.3.6.1.4.1.311.12.1.1";     // szOID_CATALOG_LIST
inline constexpr char kCatalogMember[] = "1.3.6.1.4.1.311.12.1.2";   // ..._LIST_MEMBER (SHA-1)
inline constexpr char kCatalogMember2[] = "1.3.6.1.4.1.311.12.1.3";  // ..._LIST_MEMBER2 (SHA-256)
inline constexpr char kNameValue[] = "1.3.6.1.4.1.311.12.2.1";       // CAT_NAMEVALUE_OBJID
inline constexpr char kMemberInfo[] = "1.3.6.1.4.1.311.12.2.2";      // CAT_MEMBERINFO_OBJID
inline constexpr char kIndirectData[] = "1.3.6.1.4.1.311.2.1.4";     // SPC_INDIRECT_DATA_OBJID
inline constexpr char kPeImageData[] = "1.3.6.1.4.1.311.2.1.15";     // SPC_PE_IMAGE_DATAOBJ
inline constexpr char kCabData[] = "1.3.6.1.4.1.311.2.1.25";         // SPC_CAB_DATA_OBJID
inline constexpr char kSha1[] = "1.3.14.3.2.26";
inline constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

}  // namespace vormlan::catalog::oid
