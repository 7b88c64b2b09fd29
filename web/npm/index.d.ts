/** How reading one link went, with the fields of the record `veltrun --json` writes. */
export interface LinkRecord {
  /** The link as read (for `find`, as found; text after a gap that is no part of it left out). */
  readonly input: string;
  /** The link's 1-based line in the text `find` searched; null for `unwrap`. */
  readonly line: number | null;
  /** The scheme matched when Decoded. */
  readonly scheme: "thunder" | "flashget" | "qqdl" | null;
  /**
   * Decoded: a scheme matched; NotALink: a "/" but no scheme; Ignored: no "/" at all. Lenient
   * reading only: NotAnAddress, the link decodes to text that is no address; CutShort, the text
   * cut the link off.
   */
  readonly outcome: "Decoded" | "NotALink" | "Ignored" | "NotAnAddress" | "CutShort";
  /** The address as text, bytes that are no character written \xNN; "" when the link holds none. */
  readonly address: string | null;
  /** The charset the address was read in. */
  readonly charset: "utf8" | "gbk" | null;
  /** The exact address bytes. */
  readonly bytes: Uint8Array | null;
  /** The ids of the repairs lenient reading made ("scheme-case", "url-safe-base64", ...). */
  readonly repairs: readonly string[];
  /** NotAnAddress, CutShort: what the link decodes to, as text; null otherwise. */
  readonly detail: string | null;
}

export interface ReadOptions {
  /** Also repair what web pages do to links, naming each repair; a clean link reads as strictly. */
  lenient?: boolean;
  /** How to show the address: UTF-8 when it is valid UTF-8, else GBK ("auto"), or as told. */
  charset?: "auto" | "gbk" | "utf8";
}

export interface WrapOptions {
  /** "gbk": convert the UTF-8 address to GBK (GB18030) first, as old Chinese links carry it. */
  charset?: "utf8" | "gbk";
}

/** The core's version, as `veltrun --version` shows it. */
export const version: string;
/** The schemes a link may have, as `wrap` takes them. */
export const schemes: readonly ("thunder" | "flashget" | "qqdl")[];

/**
 * Reads `link`, one link given whole (a string as UTF-8, or its bytes).
 * @throws TypeError for an argument of the wrong type, an unknown option or charset.
 */
export function unwrap(link: string | Uint8Array, options?: ReadOptions): LinkRecord;

/**
 * The record of every link in `text` (a web page, a list, a mail), in text order. A link runs from
 * its scheme to the first space, line break, quote, "<" or ">".
 * @throws TypeError for an argument of the wrong type, an unknown option or charset.
 */
export function find(text: string | Uint8Array, options?: ReadOptions): LinkRecord[];

/**
 * The link of `scheme` for `address` (a string as UTF-8, or its bytes); `unwrap` gives the bytes back.
 * @throws RangeError for an address no link can carry, its `reason` saying why: "empty", "zero-byte",
 * with "gbk" "not-utf8" or "no-gb-code"; TypeError for an unknown scheme, option or charset.
 */
export function wrap(address: string | Uint8Array, scheme: "thunder" | "flashget" | "qqdl", options?: WrapOptions): string;
